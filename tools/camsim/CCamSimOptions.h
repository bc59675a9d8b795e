#pragma once

#include "CamSimTypes.h"

#include <optional>
#include <string>
#include <vector>

namespace camsim {

// Everything the simulated camera is started with. Ports may be 0 (the system picks one).
struct SCamSimOptions {
    int httpPort = 0;
    int rtspPort = 0;
    int controlPort = 0;
    int channels = 1;
    int inputs = 1;
    int outputs = 1;
    EAuthMode httpAuth = EAuthMode::None;
    EAuthMode rtspAuth = EAuthMode::None;
    std::string user = "admin";
    std::string password = "admin";
    std::string realm = "IP Camera";
    SVideoSettings video;  // initial settings of every channel

    // Identity and capabilities the camera reports on its pages.
    int cameraType = 0x3A;
    int device = 0;
    std::string mac = "00:0E:53:2A:4C:01";
    std::string firmware = "V3.2.1 build 20230915";
    int presets = 16;
    int ptzModel = 1;
    bool pal = true;
    int fpsMin = 1;
    int fpsMax = 25;
    std::vector<SPictureSize> resolutions;
    std::vector<ECodec> codecs;
    int audioNum = -1;  // -1: as many as channels, so the reported channel count stays whole
    bool rtspSupported = true;
    bool legacyNetworkPage = false;  // only "Path_Live", as older firmware reports it

    // Encoding and session behaviour.
    bool sharedEncode = false;
    // An H.264 byte stream served in a loop on every H.264 channel instead of encoding.
    std::string h264File;
    bool h264Lockstep = false;  // the file's sessions share one picture clock
    int sessionTimeoutSec = 60;
    // RTSP Digest answers whose uri differs from the request line are refused,
    // as a strict RFC 2617 camera does.
    bool rtspStrictDigestUri = false;
};

// Parses the command line. Every option is "--name value" or "--name=value".
class CCamSimOptions {
public:
    // Returns the options, or nothing with a message in error (empty message: help was asked).
    static std::optional<SCamSimOptions> Parse(const std::vector<std::string>& args,
                                               std::string& error);
    static std::string Usage();
};

}  // namespace camsim
