// wrenfield-host capture: starts the inputs, writes each input's pictures
// to a file players open, shows progress and prints a summary.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "CArguments.h"
#include "CCaptureWriter.h"
#include "CDriverSession.h"

namespace wfhost {

struct SCaptureOptions {
    std::vector<unsigned int> inputs;  // empty: every input of the camera
    double seconds = 5;
    bool secondsGiven = false;
    uint64_t frames = 0;     // 0: no picture limit
    int32_t streamType = 0;  // 0: the camera text's, else the camera's best
    bool rtsp = false;
    uint16_t width = 640;
    uint16_t height = 480;
    double fps = 25;
    uint16_t quality = 75;
    std::string outDir = "capture";
    std::string logPath;  // empty: driver.log in outDir
    bool discard = false;
    bool json = false;
    bool quiet = false;
    bool probe = true;
};

struct SInputSummary {
    unsigned int input = 0;
    std::string file;  // empty with --discard
    SInputStats stats;
};

class CCaptureCommand {
public:
    static bool ParseOptions(CArguments& arguments, SCaptureOptions& options, std::string& error);

    CCaptureCommand(CDriverSession& session, CDriverLog& log, SCaptureOptions options);
    ~CCaptureCommand();
    CCaptureCommand(const CCaptureCommand&) = delete;
    CCaptureCommand& operator=(const CCaptureCommand&) = delete;
    // The exit status: 0 when every input delivered pictures.
    int Run(SCamera camera, FILE* out, std::vector<SInputSummary>* summaries = nullptr);

    static std::string FormatSummary(const std::vector<SInputSummary>& inputs, const SCaptureOptions& options);
    static std::string FormatSummaryJson(const std::vector<SInputSummary>& inputs, const SCaptureOptions& options,
                                         double elapsedSeconds);
    // Ctrl-C ends a capture early, with its summary.
    static void RequestStop() { s_stopRequested = true; }

private:
    bool Prepare(SCamera& camera, std::string& error);
    bool StartInputs(std::string& error);
    double Capture(FILE* progressStream);
    bool Done(double elapsedSeconds) const;
    uint32_t FrameIntervalMs() const;

    CDriverSession& m_session;
    CDriverLog& m_log;
    SCaptureOptions m_options;
    struct SRunningInput;
    std::vector<std::unique_ptr<SRunningInput>> m_running;
    static std::atomic<bool> s_stopRequested;
};

}  // namespace wfhost
