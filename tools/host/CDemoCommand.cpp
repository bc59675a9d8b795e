#include "CDemoCommand.h"

#include <cstdlib>

#include "CCaptureCommand.h"
#include "CProbeCommand.h"
#include "CPtzCommand.h"

namespace wfhost {

namespace {

SCamera ParseOrDie(const std::string& text) {
    std::string error;
    auto camera = CCameraText::Parse(text, error);
    return camera ? *camera : SCamera{};
}

}  // namespace

std::string CDemoCommand::DefaultCamsimPath() {
    const std::string beside = CDriverLibrary::ExecutableDirectory() + "../camsim/wrenfield-camsim";
    return CDriverLibrary::FileExists(beside) ? beside : "wrenfield-camsim";
}

int CDemoCommand::ReadyLinePort(const std::string& line, const std::string& key) {
    const auto at = line.find("\"" + key + "\":");
    if (at == std::string::npos) return 0;
    return std::atoi(line.c_str() + at + key.size() + 3);
}

int CDemoCommand::Capture(const std::string& camera, const char* codec, bool rtsp, const std::string& dir,
                          FILE* out) {
    std::fprintf(out, "\n== capture %s over %s, %.0f s\n", codec, rtsp ? "RTSP" : "HTTP", m_seconds);
    std::fflush(out);
    SCaptureOptions options;
    options.streamType = CCameraText::StreamTypeOf(codec);
    options.rtsp = rtsp;
    options.seconds = m_seconds;
    options.secondsGiven = true;
    options.outDir = dir;
    CDriverSession session(m_library, m_log);
    return CCaptureCommand(session, m_log, options).Run(ParseOrDie(camera), out);
}

int CDemoCommand::PresetRoundTrip(const std::string& camera, FILE* out) {
    std::fprintf(out, "\n== PTZ preset round trip\n");
    const SCamera parsed = ParseOrDie(camera);
    const std::vector<std::vector<std::string>> steps = {{"move", "left", "4"},         {"preset", "add", "Gate"},
                                                         {"move", "right", "4"},        {"preset", "goto", "Gate"},
                                                         {"preset", "list"},            {"preset", "remove", "Gate"}};
    for (const auto& words : steps) {
        SPtzAction action;
        std::string error;
        if (!CPtzCommand::ParseAction(words, action, error)) return 1;
        CDriverSession session(m_library, m_log);
        if (CPtzCommand(session, 0, 500).Run(parsed, action, out) != 0) return 1;
    }
    return 0;
}

int CDemoCommand::Run(const std::string& camsimPath, FILE* out) {
    CChildProcess camsim;
    std::string ready;
    std::string error;
    if (!camsim.Start({camsimPath, "--auth", "digest", "--password", kPassword, "--codec", "h264", "--size", "640x480",
                       "--fps", "25", "--inputs", "2", "--outputs", "2"},
                      15000, ready, error)) {
        std::fprintf(stderr, "wrenfield-host: %s\n", error.c_str());
        return 1;
    }
    const int httpPort = ReadyLinePort(ready, "http_port");
    if (httpPort <= 0) {
        std::fprintf(stderr, "wrenfield-host: the simulator's ready line has no HTTP port\n");
        return 1;
    }
    const std::string camera =
        "http://admin:" + std::string(kPassword) + "@127.0.0.1:" + std::to_string(httpPort);
    std::fprintf(out, "simulated camera: %s\n", CCameraText::Masked(ParseOrDie(camera)).c_str());
    std::fprintf(out, "\n== probe\n");
    std::fflush(out);
    CSecretMask mask;
    mask.Add(kPassword);
    int status = 0;
    {
        CDriverSession session(m_library, m_log);
        status = CProbeCommand(session, mask).Run(ParseOrDie(camera), false, out);
    }
    const std::string h264Dir = m_outDir + "/h264-rtsp";
    const std::string mjpegDir = m_outDir + "/mjpeg-http";
    if (status == 0) status = Capture(camera, "h264", true, h264Dir, out);
    if (status == 0) status = Capture(camera, "mjpeg", false, mjpegDir, out);
    if (status == 0) status = PresetRoundTrip(camera, out);
    camsim.Stop();
    if (status != 0) return status;
    std::fprintf(out,
                 "\nfiles:\n  %s/input0.h264   (H.264 Annex B; ffplay %s/input0.h264)\n"
                 "  %s/input0.mjpeg  (MJPEG; ffplay -f mjpeg %s/input0.mjpeg)\n"
                 "  driver logs: %s/driver.log, %s/driver.log\n",
                 h264Dir.c_str(), h264Dir.c_str(), mjpegDir.c_str(), mjpegDir.c_str(), h264Dir.c_str(),
                 mjpegDir.c_str());
    return 0;
}

}  // namespace wfhost
