// wrenfield-host demo: starts the simulated camera, captures H.264 over
// RTSP and MJPEG over HTTP, probes it, runs a PTZ preset round trip and
// says where the files are.
#pragma once

#include <cstdio>
#include <string>

#include "CDriverLibrary.h"
#include "CChildProcess.h"
#include "CDriverLog.h"

namespace wfhost {

class CDemoCommand {
public:
    CDemoCommand(CDriverLibrary& library, CDriverLog& log, std::string outDir, double seconds)
        : m_library(library), m_log(log), m_outDir(std::move(outDir)), m_seconds(seconds) {}
    int Run(const std::string& camsimPath, FILE* out);

    // Beside the host in the build tree, else on the PATH.
    static std::string DefaultCamsimPath();
    // The number after "key": in the simulator's ready line; 0 when absent.
    static int ReadyLinePort(const std::string& line, const std::string& key);
    static constexpr const char* kPassword = "demo-Secret";

private:
    int Capture(const std::string& camera, const char* codec, bool rtsp, const std::string& dir, FILE* out);
    int PresetRoundTrip(const std::string& camera, FILE* out);

    CDriverLibrary& m_library;
    CDriverLog& m_log;
    const std::string m_outDir;
    const double m_seconds;
};

}  // namespace wfhost
