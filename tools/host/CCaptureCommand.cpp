#include "CCaptureCommand.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include "CJsonText.h"
#include "CProgressDisplay.h"
#include "CTerminal.h"
#include "wrenfield/CaptureParams.h"

namespace wfhost {

std::atomic<bool> CCaptureCommand::s_stopRequested{false};

namespace {

using namespace std::chrono_literals;
constexpr uint32_t kRtspTransportParam = 2;
constexpr auto kTick = 100ms;

// The capture settings of one input, as the driver reads them at StartChannel.
class CCaptureSettings final : public talvex::ipcapture::IIPCaptureParams {
public:
    CCaptureSettings(uint16_t width, uint16_t height, uint16_t intervalMs, uint16_t quality)
        : m_input(width, height), m_stream(intervalMs, quality) {}
    talvex::ipcapture::IIPInputParams* GetInputParams() override { return &m_input; }
    talvex::ipcapture::IIPStreamParams* GetStreamParams() override { return &m_stream; }

private:
    class CSize final : public talvex::ipcapture::IIPResolution {
    public:
        CSize(uint16_t width, uint16_t height) : m_width(width), m_height(height) {}
        uint16_t GetWidth() override { return m_width; }
        uint16_t GetHeight() override { return m_height; }

    private:
        const uint16_t m_width;
        const uint16_t m_height;
    };
    class CInput final : public talvex::ipcapture::IIPInputParams {
    public:
        CInput(uint16_t width, uint16_t height) : m_size(width, height) {}
        talvex::ipcapture::IIPResolution* GetResolution() override { return &m_size; }

    private:
        CSize m_size;
    };
    class CStream final : public talvex::ipcapture::IIPStreamParams {
    public:
        CStream(uint16_t intervalMs, uint16_t quality) : m_intervalMs(intervalMs), m_quality(quality) {}
        uint16_t GetFrameInterval() override { return m_intervalMs; }
        uint16_t GetQuality() override { return m_quality; }
        int32_t IsAuxEnabled() override { return 0; }

    private:
        const uint16_t m_intervalMs;
        const uint16_t m_quality;
    };

    CInput m_input;
    CStream m_stream;
};

double MeasuredFps(const SInputStats& stats) {
    const int64_t spanMs = stats.lastTimeMs - stats.firstTimeMs;
    return stats.pictures > 1 && spanMs > 0 ? static_cast<double>(stats.pictures - 1) * 1000.0 / spanMs : 0.0;
}

bool ParseSize(const std::string& text, uint16_t& width, uint16_t& height) {
    const auto x = text.find('x');
    if (x == std::string::npos) return false;
    const auto w = CArguments::Number(text.substr(0, x));
    const auto h = CArguments::Number(text.substr(x + 1));
    if (!w || !h || *w < 16 || *w > 4096 || *h < 16 || *h > 4096) return false;
    width = static_cast<uint16_t>(*w);
    height = static_cast<uint16_t>(*h);
    return true;
}

}  // namespace

struct CCaptureCommand::SRunningInput {
    SRunningInput(unsigned int index, uint32_t intervalMs) : input(index), writer(intervalMs) {}
    unsigned int input;
    CCaptureWriter writer;
    std::string file;
    bool started = false;
    SInputStats lastShown;
};

CCaptureCommand::CCaptureCommand(CDriverSession& session, CDriverLog& log, SCaptureOptions options)
    : m_session(session), m_log(log), m_options(std::move(options)) {}

CCaptureCommand::~CCaptureCommand() = default;

bool CCaptureCommand::ParseOptions(CArguments& arguments, SCaptureOptions& options, std::string& error) {
    std::vector<std::string> channels;
    std::string codec;
    std::string size;
    double frames = 0;
    double quality = options.quality;
    const double secondsBefore = options.seconds;
    if (!arguments.TakeValues("--channel", channels, error) || !arguments.TakeValue("--codec", codec, error) ||
        !arguments.TakeValue("--size", size, error) || !arguments.TakeValue("--out", options.outDir, error) ||
        !arguments.TakeValue("--log", options.logPath, error) ||
        !arguments.TakeNumber("--seconds", 0.1, 86400, options.seconds, error) ||
        !arguments.TakeNumber("--frames", 1, 1e9, frames, error) ||
        !arguments.TakeNumber("--fps", 1, 60, options.fps, error) ||
        !arguments.TakeNumber("--quality", 0, 100, quality, error))
        return false;
    options.secondsGiven = options.seconds != secondsBefore;
    options.frames = static_cast<uint64_t>(frames);
    options.quality = static_cast<uint16_t>(quality);
    options.rtsp = arguments.TakeFlag("--rtsp");
    options.discard = arguments.TakeFlag("--discard");
    options.json = arguments.TakeFlag("--json");
    options.quiet = arguments.TakeFlag("--quiet");
    options.probe = !arguments.TakeFlag("--no-probe");
    for (const std::string& channel : channels) {
        const auto number = CArguments::Number(channel);
        if (!number || *number < 0 || *number > 63 || *number != static_cast<unsigned int>(*number)) {
            error = "--channel \"" + channel + "\" is not an input number from 0 to 63";
            return false;
        }
        options.inputs.push_back(static_cast<unsigned int>(*number));
    }
    if (!codec.empty() && (options.streamType = CCameraText::StreamTypeOf(codec)) == 0) {
        error = "--codec \"" + codec + "\" is not h264, mjpeg or mpeg4";
        return false;
    }
    if (!size.empty() && !ParseSize(size, options.width, options.height)) {
        error = "--size \"" + size + "\" is not WIDTHxHEIGHT (16 to 4096 each)";
        return false;
    }
    return true;
}

uint32_t CCaptureCommand::FrameIntervalMs() const { return static_cast<uint32_t>(1000.0 / m_options.fps + 0.5); }

bool CCaptureCommand::Prepare(SCamera& camera, std::string& error) {
    int32_t bestCodec = talvex::ipcapture::kStreamTypeMjpeg;
    if (m_options.probe) {
        CCapabilityRecord record;
        if (!m_session.Query(camera, record, error)) return false;
        const SCapabilities capabilities = record.Snapshot();
        CDriverSession::Complete(camera, capabilities);
        if (capabilities.Value(8) != 0) bestCodec = talvex::ipcapture::kStreamTypeH264;
    }
    if (m_options.streamType != 0) camera.streamType = m_options.streamType;
    if (camera.streamType == 0) camera.streamType = bestCodec;
    m_options.streamType = camera.streamType;
    if (m_options.rtsp) camera.custom[kRtspTransportParam] = "1";
    m_options.rtsp = camera.streamType == talvex::ipcapture::kStreamTypeH264 ||
                     (camera.custom.count(kRtspTransportParam) != 0 && camera.custom[kRtspTransportParam] == "1");
    if (camera.inputs == 0) camera.inputs = 1;
    if (m_options.inputs.empty())
        for (unsigned int input = 0; input < camera.inputs; ++input) m_options.inputs.push_back(input);
    for (const unsigned int input : m_options.inputs) {
        if (input >= camera.inputs) {
            error = "--channel " + std::to_string(input) + ": the camera has " + std::to_string(camera.inputs) +
                    " input(s), numbered from 0";
            return false;
        }
    }
    std::error_code failure;
    std::filesystem::create_directories(m_options.outDir, failure);
    const std::string logPath = m_options.logPath.empty() ? m_options.outDir + "/driver.log" : m_options.logPath;
    if (!m_log.OpenFile(logPath)) {
        error = "cannot write the log file " + logPath;
        return false;
    }
    m_log.Write(3, "wrenfield-host: capture from " + CCameraText::Masked(camera));
    return m_session.Open(camera, error);
}

bool CCaptureCommand::StartInputs(std::string& error) {
    talvex::ipcapture::IIPVideoCaptureEx* video = m_session.Driver()->GetVideoCaptureEx();
    if (video == nullptr) {
        error = "the driver offers no video capture";
        return false;
    }
    CCaptureSettings settings(m_options.width, m_options.height, static_cast<uint16_t>(FrameIntervalMs()),
                              m_options.quality);
    for (const unsigned int input : m_options.inputs) {
        auto running = std::make_unique<SRunningInput>(input, FrameIntervalMs());
        if (!m_options.discard)
            running->file = m_options.outDir + "/input" + std::to_string(input) +
                            CCaptureWriter::Extension(m_options.streamType);
        running->writer.SetPictureLimit(m_options.frames);
        if (!running->writer.Open(running->file)) {
            error = "cannot write " + running->file;
            return false;
        }
        running->started = video->StartChannel(input, &running->writer, &settings);
        m_running.push_back(std::move(running));
        if (!m_running.back()->started) {
            error = "input " + std::to_string(input) + " did not start";
            return false;
        }
    }
    return true;
}

bool CCaptureCommand::Done(double elapsedSeconds) const {
    if (s_stopRequested) return true;
    if (m_options.frames == 0 || m_options.secondsGiven) {
        if (elapsedSeconds >= m_options.seconds) return true;
    } else if (elapsedSeconds >= 30.0 + 3.0 * static_cast<double>(m_options.frames) / m_options.fps) {
        return true;  // a picture limit alone still ends, camera or not
    }
    if (m_options.frames == 0) return false;
    for (const auto& running : m_running)
        if (running->writer.Stats().pictures < m_options.frames) return false;
    return true;
}

double CCaptureCommand::Capture(FILE* progressStream) {
    const bool terminal = progressStream != nullptr && CTerminal::IsTerminal(progressStream) &&
                          CTerminal::EnableEscapes(progressStream);
    CProgressDisplay display(progressStream, terminal,
                             progressStream != nullptr ? CTerminal::Columns(progressStream) : 80);
    talvex::ipcapture::IIPVideoCaptureEx* video = m_session.Driver()->GetVideoCaptureEx();
    const auto start = std::chrono::steady_clock::now();
    auto lastShown = start;
    double elapsed = 0;
    while (!Done(elapsed)) {
        std::this_thread::sleep_for(kTick);
        const auto now = std::chrono::steady_clock::now();
        elapsed = std::chrono::duration<double>(now - start).count();
        const double sinceShown = std::chrono::duration<double>(now - lastShown).count();
        if (sinceShown < (terminal ? 0.5 : 1.0)) continue;
        std::vector<SInputProgress> rows;
        for (const auto& running : m_running) {
            SInputProgress row;
            row.input = running->input;
            row.stats = running->writer.Stats();
            row.framesPerSecond = static_cast<double>(row.stats.pictures - running->lastShown.pictures) / sinceShown;
            row.kbitPerSecond = static_cast<double>(row.stats.bytes - running->lastShown.bytes) * 8 / 1000 / sinceShown;
            int32_t reserved = 0;
            char text[8] = {};
            if (!video->GetChannelStatus(running->input, &row.state, &reserved, text, sizeof(text))) row.state = -1;
            row.lastLine = m_log.LastLine(running->input);
            running->lastShown = row.stats;
            rows.push_back(std::move(row));
        }
        lastShown = now;
        display.Show(rows, elapsed);
    }
    return elapsed;
}

int CCaptureCommand::Run(SCamera camera, FILE* out, std::vector<SInputSummary>* summaries) {
    s_stopRequested = false;
    std::string error;
    if (!Prepare(camera, error) || !StartInputs(error)) {
        m_session.Close();
        m_log.Write(1, "wrenfield-host: " + error);
        std::fprintf(stderr, "wrenfield-host: %s\n", error.c_str());
        return 1;
    }
    FILE* progress = m_options.quiet ? nullptr : (m_options.json ? stderr : out);
    const double elapsed = Capture(progress);
    talvex::ipcapture::IIPVideoCaptureEx* video = m_session.Driver()->GetVideoCaptureEx();
    std::vector<SInputSummary> inputs;
    bool allDelivered = true;
    for (const auto& running : m_running) running->writer.Seal();
    for (const auto& running : m_running) {
        video->StopChannel(running->input);
        running->writer.Close();
        inputs.push_back({running->input, running->file, running->writer.Stats()});
        if (inputs.back().stats.pictures == 0) allDelivered = false;
        if (running->writer.WriteFailed()) error = "writing " + running->file + " failed";
    }
    m_session.Close();
    std::fputs(m_options.json ? FormatSummaryJson(inputs, m_options, elapsed).c_str()
                              : FormatSummary(inputs, m_options).c_str(),
               out);
    std::fflush(out);
    if (summaries != nullptr) *summaries = inputs;
    if (error.empty() && !allDelivered) error = "no pictures arrived from at least one input (see the log file)";
    if (!error.empty()) {
        m_log.Write(1, "wrenfield-host: " + error);
        std::fprintf(stderr, "wrenfield-host: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

std::string CCaptureCommand::FormatSummary(const std::vector<SInputSummary>& inputs, const SCaptureOptions& options) {
    std::string text = std::string("summary (") + CCameraText::StreamName(options.streamType) +
                       (options.rtsp ? " over RTSP" : " over HTTP") + "):\n";
    for (const SInputSummary& input : inputs) {
        char line[400];
        std::snprintf(line, sizeof(line),
                      "  input %u: %llu pictures (%llu key), %ux%u, %llu bytes, %.1f fps, %llu gaps (longest step "
                      "%lld ms), %llu signal losses -> %s\n",
                      input.input, static_cast<unsigned long long>(input.stats.pictures),
                      static_cast<unsigned long long>(input.stats.keyPictures), input.stats.width, input.stats.height,
                      static_cast<unsigned long long>(input.stats.bytes), MeasuredFps(input.stats),
                      static_cast<unsigned long long>(input.stats.gaps),
                      static_cast<long long>(input.stats.longestStepMs),
                      static_cast<unsigned long long>(input.stats.signalLosses),
                      input.file.empty() ? "(discarded)" : input.file.c_str());
        text += line;
    }
    return text;
}

std::string CCaptureCommand::FormatSummaryJson(const std::vector<SInputSummary>& inputs,
                                               const SCaptureOptions& options, double elapsedSeconds) {
    CJsonText json;
    json.BeginObject()
        .Add("codec", CCameraText::StreamName(options.streamType))
        .Add("transport", options.rtsp ? "rtsp" : "http")
        .Add("seconds", elapsedSeconds)
        .BeginArray("inputs");
    for (const SInputSummary& input : inputs)
        json.BeginObject()
            .Add("input", input.input)
            .Add("file", input.file)
            .Add("pictures", input.stats.pictures)
            .Add("key_pictures", input.stats.keyPictures)
            .Add("bytes", input.stats.bytes)
            .Add("width", input.stats.width)
            .Add("height", input.stats.height)
            .Add("fps", MeasuredFps(input.stats))
            .Add("gaps", input.stats.gaps)
            .Add("longest_step_ms", input.stats.longestStepMs)
            .Add("signal_losses", input.stats.signalLosses)
            .EndObject();
    return json.EndArray().EndObject().Text() + "\n";
}

}  // namespace wfhost
