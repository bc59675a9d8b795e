#include "IntegrationHelpers.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "CCamSimControl.h"
#if !defined(_WIN32)
#include <dirent.h>
#include <unistd.h>

#include "CCamSimProcess.h"
#endif

namespace wftest {

CLoadedDriver::CLoadedDriver() {
    m_module = talvex::platform::LoadModule(WF_DRIVER_LIBRARY_PATH);
    if (m_module == nullptr) return;
    using CreateFn = talvex::ipcapture::IIPCaptureDriverEx3* (*)();
    auto create = reinterpret_cast<CreateFn>(talvex::platform::FindSymbol(m_module, "CreateIPCapture"));
    m_delete = reinterpret_cast<void (*)(talvex::ipcapture::IIPCaptureDriver*)>(
        talvex::platform::FindSymbol(m_module, "DeleteIPCapture"));
    if (create != nullptr && m_delete != nullptr) m_driver = create();
}

CLoadedDriver::~CLoadedDriver() {
    if (m_driver != nullptr) {
        m_driver->Close();
        m_delete(m_driver);
    }
    talvex::platform::FreeModule(m_module);
}

bool CLoadedDriver::Open(CHostDriverParams& params) {
    return m_driver != nullptr && m_driver->Open(&sink, &allocator, &params);
}

#if defined(_WIN32)

struct CCameraUnderTest::SProcess {};

CCameraUnderTest::CCameraUnderTest(const std::vector<std::string>&, int channels) {
    const std::string variable = "WF_CAMSIM_" + std::to_string(channels) + "CH";
    const char* ports = std::getenv(variable.c_str());
    if (ports == nullptr || std::sscanf(ports, "%d,%d", &m_httpPort, &m_controlPort) != 2) {
        m_httpPort = 0;
        m_error = variable + " does not name a running simulator";
        return;
    }
    if (!CCamSimControl(m_controlPort).Reset()) {
        m_httpPort = 0;
        m_error = "the simulator named by " + variable + " does not answer";
    }
}

CCameraUnderTest::~CCameraUnderTest() = default;

bool CanProbePictures() { return false; }

std::string ProbePictures(const std::vector<SFrame>&, const std::string&, int&, int&, int&) { return "not available here"; }

std::string ProbeJpegPictures(const std::vector<SFrame>&, int&, int&, int&) { return "not available here"; }

std::string ReadFrameCounters(const std::vector<SFrame>&, const std::string&, int, int, std::vector<uint32_t>&) {
    return "not available here";
}

#else

struct CCameraUnderTest::SProcess {
    explicit SProcess(const std::vector<std::string>& options) : process(options) {}
    CCamSimProcess process;
};

CCameraUnderTest::CCameraUnderTest(const std::vector<std::string>& options, int channels) {
    std::vector<std::string> all = options;
    all.push_back("--channels");
    all.push_back(std::to_string(channels));
    m_process = std::make_unique<SProcess>(all);
    if (!m_process->process.Started()) {
        m_error = m_process->process.Error();
        return;
    }
    m_httpPort = m_process->process.HttpPort();
    m_controlPort = m_process->process.ControlPort();
}

CCameraUnderTest::~CCameraUnderTest() = default;

bool CanProbePictures() { return true; }

namespace {

std::string Run(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "cannot run: " + command;
    std::array<char, 4096> buffer{};
    std::size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
    pclose(pipe);
    return output;
}

}  // namespace

std::string ProbeJpegPictures(const std::vector<SFrame>& frames, int& decodedFrames, int& width, int& height) {
    return ProbePictures(frames, "mjpeg", decodedFrames, width, height);
}

std::string ProbePictures(const std::vector<SFrame>& frames, const std::string& format, int& decodedFrames, int& width,
                          int& height) {
    char path[] = "/tmp/wf-pictures-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return "cannot create a temporary file";
    close(fd);
    {
        std::ofstream out(path, std::ios::binary);
        for (const auto& frame : frames)
            out.write(reinterpret_cast<const char*>(frame.data.data()), static_cast<std::streamsize>(frame.data.size()));
    }
    const std::string errors = Run("ffmpeg -v error -f " + format + " -i " + path + " -f null - 2>&1");
    std::istringstream info(Run("ffprobe -v error -f " + format +
                                " -count_frames -select_streams v:0 -show_entries stream=nb_read_frames,width,height"
                                " -of csv=p=0 " + path + " 2>/dev/null"));
    std::string line;
    std::getline(info, line);
    decodedFrames = 0;
    width = 0;
    height = 0;
    std::sscanf(line.c_str(), "%d,%d,%d", &width, &height, &decodedFrames);
    std::remove(path);
    return errors;
}

std::string ReadFrameCounters(const std::vector<SFrame>& frames, const std::string& format, int width, int height,
                              std::vector<uint32_t>& counters) {
    counters.clear();
    if (width < 16 || height < 16) return "no picture size";
    char input[] = "/tmp/wf-counters-in-XXXXXX";
    char output[] = "/tmp/wf-counters-out-XXXXXX";
    const int inFd = mkstemp(input);
    const int outFd = mkstemp(output);
    if (inFd < 0 || outFd < 0) return "cannot create a temporary file";
    close(inFd);
    close(outFd);
    {
        std::ofstream out(input, std::ios::binary);
        for (const auto& frame : frames)
            out.write(reinterpret_cast<const char*>(frame.data.data()), static_cast<std::streamsize>(frame.data.size()));
    }
    const std::string errors = Run("ffmpeg -v error -y -f " + format + " -i " + input +
                                   " -f rawvideo -pix_fmt gray " + output + " 2>&1");
    std::ifstream decoded(output, std::ios::binary);
    const std::size_t frameBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<uint8_t> luma(frameBytes);
    // The simulator's code strip: sixteen cells across the top, most
    // significant bit on the left, light for 1.
    const int strip = std::min(std::max(8, (height / 12) / 8 * 8), height);
    const int cell = width / 16;
    while (decoded.read(reinterpret_cast<char*>(luma.data()), static_cast<std::streamsize>(frameBytes))) {
        uint32_t code = 0;
        for (int bit = 0; bit < 16; ++bit) {
            const int value = luma[static_cast<std::size_t>(strip / 2 * width + bit * cell + cell / 2)];
            code = code << 1 | (value > (235 + 16) / 2 ? 1u : 0u);
        }
        counters.push_back(code);
    }
    std::remove(input);
    std::remove(output);
    return errors;
}

#endif

#if !defined(_WIN32)
std::size_t EntriesOf(const char* directory) {
    std::size_t count = 0;
    if (DIR* dir = opendir(directory)) {
        while (readdir(dir) != nullptr) ++count;
        closedir(dir);
    }
    return count;
}
#endif

}  // namespace wftest
