#include "CCamSimOptions.h"

#include <functional>
#include <map>
#include <sstream>

namespace camsim {
namespace {

constexpr int kMaxChannels = 64;
constexpr int kMaxIoLines = 32;
constexpr int kMaxPresets = 255;

bool ParseBounded(const std::string& text, long long low, long long high, int& out) {
    const auto value = ParseInteger(text);
    if (!value || *value < low || *value > high) return false;
    out = static_cast<int>(*value);
    return true;
}

// Camera type and device numbers are written in decimal on the camera's page, but the model
// tables are easier to read in hexadecimal, so both forms are accepted here.
bool ParseNumberAnyBase(const std::string& text, int& out) {
    try {
        std::size_t used = 0;
        const long value = std::stol(text, &used, 0);
        if (used != text.size() || value < 0 || value > 0x7FFFFFFF) return false;
        out = static_cast<int>(value);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool ParseList(const std::string& text, const std::function<bool(const std::string&)>& item) {
    std::stringstream stream(text);
    std::string piece;
    bool any = false;
    while (std::getline(stream, piece, ',')) {
        if (piece.empty()) continue;
        if (!item(piece)) return false;
        any = true;
    }
    return any;
}

using Setter = std::function<bool(SCamSimOptions&, const std::string&)>;

std::map<std::string, Setter> MakeSetters() {
    std::map<std::string, Setter> s;
    s["http-port"] = [](auto& o, auto& v) { return ParseBounded(v, 0, 65535, o.httpPort); };
    s["rtsp-port"] = [](auto& o, auto& v) { return ParseBounded(v, 0, 65535, o.rtspPort); };
    s["control-port"] = [](auto& o, auto& v) { return ParseBounded(v, 0, 65535, o.controlPort); };
    s["channels"] = [](auto& o, auto& v) { return ParseBounded(v, 1, kMaxChannels, o.channels); };
    s["inputs"] = [](auto& o, auto& v) { return ParseBounded(v, 0, kMaxIoLines, o.inputs); };
    s["outputs"] = [](auto& o, auto& v) { return ParseBounded(v, 0, kMaxIoLines, o.outputs); };
    s["auth"] = [](auto& o, auto& v) {
        const auto mode = ParseAuthMode(v);
        if (mode) o.httpAuth = o.rtspAuth = *mode;
        return mode.has_value();
    };
    s["http-auth"] = [](auto& o, auto& v) {
        const auto mode = ParseAuthMode(v);
        if (mode) o.httpAuth = *mode;
        return mode.has_value();
    };
    s["rtsp-auth"] = [](auto& o, auto& v) {
        const auto mode = ParseAuthMode(v);
        if (mode) o.rtspAuth = *mode;
        return mode.has_value();
    };
    s["user"] = [](auto& o, auto& v) { o.user = v; return !v.empty() && v.find(':') == std::string::npos; };
    s["password"] = [](auto& o, auto& v) { o.password = v; return true; };
    s["realm"] = [](auto& o, auto& v) { o.realm = v; return !v.empty() && v.find('"') == std::string::npos; };
    s["codec"] = [](auto& o, auto& v) {
        const auto codec = ParseCodec(v);
        if (codec) o.video.codec = *codec;
        return codec.has_value();
    };
    s["size"] = [](auto& o, auto& v) {
        const auto size = ParsePictureSize(v);
        if (!size || !IsEncodableSize(size->width, size->height)) return false;
        o.video.width = size->width;
        o.video.height = size->height;
        return true;
    };
    s["fps"] = [](auto& o, auto& v) { return ParseBounded(v, 1, 60, o.video.fps); };
    s["vbr"] = [](auto& o, auto& v) { return ParseBounded(v, 1, 51, o.video.vbr); };
    s["jpeg-quality"] = [](auto& o, auto& v) { return ParseBounded(v, 1, 5, o.video.jpegQuality); };
    s["h264-file"] = [](auto& o, auto& v) { o.h264File = v; return !v.empty(); };
    s["camera-type"] = [](auto& o, auto& v) { return ParseNumberAnyBase(v, o.cameraType); };
    s["device"] = [](auto& o, auto& v) { return ParseNumberAnyBase(v, o.device); };
    s["mac"] = [](auto& o, auto& v) { o.mac = v; return true; };
    s["firmware"] = [](auto& o, auto& v) { o.firmware = v; return true; };
    s["presets"] = [](auto& o, auto& v) { return ParseBounded(v, 0, kMaxPresets, o.presets); };
    s["ptz-model"] = [](auto& o, auto& v) { return ParseBounded(v, 0, 0x7FFFFFFF, o.ptzModel); };
    s["video-standard"] = [](auto& o, auto& v) {
        const std::string lower = ToLowerAscii(v);
        if (lower != "pal" && lower != "ntsc") return false;
        o.pal = lower == "pal";
        return true;
    };
    s["fps-min"] = [](auto& o, auto& v) { return ParseBounded(v, 0, 60, o.fpsMin); };
    s["fps-max"] = [](auto& o, auto& v) { return ParseBounded(v, 1, 60, o.fpsMax); };
    s["resolutions"] = [](auto& o, auto& v) {
        o.resolutions.clear();
        return ParseList(v, [&o](const std::string& item) {
            const auto size = ParsePictureSize(item);
            if (!size || !IsEncodableSize(size->width, size->height)) return false;
            o.resolutions.push_back(*size);
            return true;
        });
    };
    s["codecs"] = [](auto& o, auto& v) {
        o.codecs.clear();
        return ParseList(v, [&o](const std::string& item) {
            const auto codec = ParseCodec(item);
            if (codec) o.codecs.push_back(*codec);
            return codec.has_value();
        });
    };
    s["audio-num"] = [](auto& o, auto& v) { return ParseBounded(v, 0, kMaxChannels, o.audioNum); };
    s["rtsp"] = [](auto& o, auto& v) {
        if (v != "0" && v != "1") return false;
        o.rtspSupported = v == "1";
        return true;
    };
    s["session-timeout"] = [](auto& o, auto& v) { return ParseBounded(v, 1, 3600, o.sessionTimeoutSec); };
    s["rtsp-strict-digest-uri"] = [](auto& o, auto& v) {
        if (v != "0" && v != "1") return false;
        o.rtspStrictDigestUri = v == "1";
        return true;
    };
    return s;
}

// Flags take no value.
std::map<std::string, std::function<void(SCamSimOptions&)>> MakeFlags() {
    return {
        {"shared-encode", [](SCamSimOptions& o) { o.sharedEncode = true; }},
        {"h264-lockstep", [](SCamSimOptions& o) { o.h264Lockstep = true; }},
        {"legacy-network-page", [](SCamSimOptions& o) { o.legacyNetworkPage = true; }},
    };
}

// Fills in what depends on other options and rejects combinations the camera cannot run.
bool Complete(SCamSimOptions& o, std::string& error) {
    if (o.resolutions.empty())
        o.resolutions = {{1280, 720}, {640, 480}, {320, 240}, {160, 120}};
    if (o.codecs.empty()) o.codecs = {ECodec::H264, ECodec::Mpeg4, ECodec::Mjpeg};
    if (o.audioNum < 0) o.audioNum = o.channels;
    if (o.fpsMin > o.fpsMax) {
        error = "--fps-min must not exceed --fps-max";
        return false;
    }
    if (o.video.fps > o.fpsMax) o.fpsMax = o.video.fps;
    if (o.h264Lockstep && o.h264File.empty()) {
        error = "--h264-lockstep paces the pictures of --h264-file: it needs one";
        return false;
    }
    if (!o.h264File.empty() && o.video.codec != ECodec::H264) {
        error = "--h264-file serves H.264: it needs --codec h264";
        return false;
    }
    return true;
}

}  // namespace

std::optional<SCamSimOptions> CCamSimOptions::Parse(const std::vector<std::string>& args,
                                                    std::string& error) {
    static const auto setters = MakeSetters();
    static const auto flags = MakeFlags();
    SCamSimOptions options;
    bool fpsMaxGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            error.clear();
            return std::nullopt;
        }
        if (arg.rfind("--", 0) != 0) {
            error = "unexpected argument: " + arg;
            return std::nullopt;
        }
        std::string name = arg.substr(2);
        std::optional<std::string> value;
        if (const auto eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (const auto flag = flags.find(name); flag != flags.end() && !value) {
            flag->second(options);
            continue;
        }
        const auto setter = setters.find(name);
        if (setter == setters.end()) {
            error = "unknown option: --" + name;
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                error = "missing value for --" + name;
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!setter->second(options, *value)) {
            error = "bad value for --" + name + ": " + *value;
            return std::nullopt;
        }
        if (name == "fps-max") fpsMaxGiven = true;
        if (name == "video-standard" && !fpsMaxGiven) options.fpsMax = options.pal ? 25 : 30;
    }
    if (!Complete(options, error)) return std::nullopt;
    return options;
}

std::string CCamSimOptions::Usage() {
    return R"(usage: wrenfield-camsim [options]

Servers (loopback; a port of 0 lets the system choose):
  --http-port N          camera web server port (default 0)
  --rtsp-port N          RTSP server port (default 0)
  --rtsp-strict-digest-uri 0|1  refuse RTSP Digest answers whose uri differs from
                         the request line (default 0)
  --control-port N       test control server port (default 0)
  --auth none|basic|digest         authentication of both servers (default none)
  --http-auth MODE, --rtsp-auth MODE  set one server only
  --user U, --password P  credentials (default admin / admin)
  --realm TEXT           authentication realm (default "IP Camera")
  --session-timeout S    RTSP session time-out in seconds (default 60)

Video (initial settings of every channel):
  --channels N           1 = camera, more = video server (default 1)
  --codec h264|mjpeg|mpeg4  (default h264)
  --size WxH             (default 640x480)
  --fps N                (default 25)
  --vbr N                H.264 / MPEG-4 quality class, 4 best .. 28 worst (default 17)
  --jpeg-quality N       MJPEG quality 1..5 (default 3)
  --shared-encode        encode each distinct setting once and serve it on every channel
  --h264-file PATH       serve this H.264 byte stream (Annex B) in a loop on every H.264
                         channel instead of encoding (see bench/make-bench-stream.sh)
  --h264-lockstep        with --h264-file: every session's pictures go out on one clock,
                         all at the same instant (the hardest case for a receiver)

Identity and capabilities:
  --camera-type N        "CameraType" value, decimal or 0x.. (default 0x3A)
  --device N             "Device" value, decimal or 0x.. (default 0)
  --mac TEXT             MAC address (default 00:0E:53:2A:4C:01)
  --firmware TEXT        firmware version text
  --presets N            PTZ preset slots (default 16)
  --ptz-model N          "PTZModel" value, 0 = no PTZ head (default 1)
  --video-standard pal|ntsc  (default pal)
  --fps-min N, --fps-max N   frame-rate range reported (default 1 and 25 PAL / 30 NTSC)
  --resolutions LIST     e.g. 1280x720,640x480 (default 1280x720,640x480,320x240,160x120)
  --codecs LIST          e.g. h264,mjpeg (default h264,mpeg4,mjpeg)
  --audio-num N          "AudioNum" value (default: the channel count)
  --rtsp 0|1             "Rtsp" value (default 1)
  --legacy-network-page  report only "Path_Live", without per-channel paths
  --inputs N, --outputs N  digital inputs and outputs (default 1 and 1)
)";
}

}  // namespace camsim
