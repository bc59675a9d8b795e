#include "IntegrationHelpers.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

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
    char path[] = "/tmp/wf-mjpeg-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return "cannot create a temporary file";
    close(fd);
    {
        std::ofstream out(path, std::ios::binary);
        for (const auto& frame : frames)
            out.write(reinterpret_cast<const char*>(frame.data.data()), static_cast<std::streamsize>(frame.data.size()));
    }
    const std::string errors = Run(std::string("ffmpeg -v error -f mjpeg -i ") + path + " -f null - 2>&1");
    std::istringstream info(Run(std::string("ffprobe -v error -f mjpeg -count_frames -select_streams v:0 "
                                            "-show_entries stream=nb_read_frames,width,height -of csv=p=0 ") +
                                path + " 2>&1"));
    std::string line;
    std::getline(info, line);
    decodedFrames = 0;
    width = 0;
    height = 0;
    std::sscanf(line.c_str(), "%d,%d,%d", &width, &height, &decodedFrames);
    std::remove(path);
    return errors;
}

}  // namespace wftest
