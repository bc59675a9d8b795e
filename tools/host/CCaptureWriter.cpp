#include "CCaptureWriter.h"

#include <algorithm>

#include "CSampleAllocator.h"
#include "wrenfield/DriverParams.h"

namespace wfhost {

CCaptureWriter::CCaptureWriter(uint32_t frameIntervalMs)
    : m_gapLimitMs(std::max<int64_t>(300, 3 * static_cast<int64_t>(frameIntervalMs))) {}

CCaptureWriter::~CCaptureWriter() { Close(); }

bool CCaptureWriter::Open(const std::string& path) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (path.empty()) return true;
    m_file = std::fopen(path.c_str(), "wb");
    return m_file != nullptr;
}

void CCaptureWriter::Close() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file != nullptr && std::fclose(m_file) != 0) m_writeFailed = true;
    m_file = nullptr;
}

bool CCaptureWriter::IsKeyPicture(uint32_t fourcc) {
    return fourcc == WfFourCC('H', '2', '6', '4') || fourcc == WfFourCC('D', 'I', 'V', 'X') ||
           fourcc == WfFourCC('J', 'P', 'E', 'G');
}

const char* CCaptureWriter::Extension(int32_t streamType) {
    using namespace talvex::ipcapture;
    switch (streamType) {
        case kStreamTypeH264: return ".h264";
        case kStreamTypeMpeg4: return ".m4v";
        default: return ".mjpeg";
    }
}

bool CCaptureWriter::OnFrame(talvex::ipcapture::IHostMediaSample* sample) {
    // Called on driver threads: nothing may escape into the driver.
    try {
        auto* ours = static_cast<CHostSample*>(sample);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_sealed || (m_limit != 0 && m_stats.pictures >= m_limit)) return true;
        if (m_file != nullptr && ours->Size() > 0 && std::fwrite(ours->Data(), 1, ours->Size(), m_file) != ours->Size())
            m_writeFailed = true;
        CountLocked(ours->FourCC(), ours->Size(), ours->Width(), ours->Height(),
                    ours->CaptureTimeMs() != 0 ? ours->CaptureTimeMs() : CHostSample::UtcNowMs());
        return true;
    } catch (...) {
        return false;
    }
}

void CCaptureWriter::Count(uint32_t fourcc, std::size_t size, uint32_t width, uint32_t height, int64_t timeMs) {
    std::lock_guard<std::mutex> lock(m_mutex);
    CountLocked(fourcc, size, width, height, timeMs);
}

void CCaptureWriter::CountLocked(uint32_t fourcc, std::size_t size, uint32_t width, uint32_t height, int64_t timeMs) {
    if (m_stats.pictures > 0) {
        const int64_t step = timeMs - m_stats.lastTimeMs;
        m_stats.longestStepMs = std::max(m_stats.longestStepMs, step);
        if (step > m_gapLimitMs) ++m_stats.gaps;
    } else {
        m_stats.firstTimeMs = timeMs;
    }
    m_stats.lastTimeMs = timeMs;
    ++m_stats.pictures;
    if (IsKeyPicture(fourcc)) ++m_stats.keyPictures;
    m_stats.bytes += size;
    if (width != 0) m_stats.width = width;
    if (height != 0) m_stats.height = height;
}

void CCaptureWriter::Seal() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sealed = true;
}

void CCaptureWriter::OnSignalLost() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_sealed) ++m_stats.signalLosses;
}

SInputStats CCaptureWriter::Stats() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_stats;
}

bool CCaptureWriter::WriteFailed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_writeFailed;
}

}  // namespace wfhost
