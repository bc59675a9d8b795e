// Media samples as plain heap buffers, each remembering what the driver
// said of its picture (code, size, capture time).
#pragma once

#include <cstdint>
#include <vector>

#include "wrenfield/Media.h"

namespace wfhost {

class CHostSample final : public talvex::ipcapture::IHostMediaSample {
public:
    explicit CHostSample(unsigned int bufferSize) : m_buffer(bufferSize) {}

    uint8_t* GetBuffer() override { return m_buffer.data(); }
    void SetDataSize(unsigned int bytes) override { m_dataSize = bytes; }
    void SetTimeNow() override;
    void SetTime(const SYSTEMTIME* utcTime) override;
    void SetFourCC(unsigned int fourcc) override { m_fourcc = fourcc; }
    void SetHeight(unsigned int height) override { m_height = height; }
    void SetWidth(unsigned int width) override { m_width = width; }
    void SetSizeClass(unsigned int) override {}

    const uint8_t* Data() const { return m_buffer.data(); }
    // Never more than the buffer holds, whatever the driver claimed.
    std::size_t Size() const { return m_dataSize < m_buffer.size() ? m_dataSize : m_buffer.size(); }
    uint32_t FourCC() const { return m_fourcc; }
    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }
    // Milliseconds since 1970 (UTC); 0 when no time was set.
    int64_t CaptureTimeMs() const { return m_timeMs; }

    static int64_t UtcNowMs();
    static int64_t ToUnixMs(const SYSTEMTIME& time);

private:
    std::vector<uint8_t> m_buffer;
    unsigned int m_dataSize = 0;
    uint32_t m_fourcc = 0;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    int64_t m_timeMs = 0;
};

class CSampleAllocator final : public talvex::ipcapture::IHostSampleAllocator {
public:
    talvex::ipcapture::IHostMediaSample* CreateSample(unsigned int fourcc, unsigned int bufferSize,
                                                      const char* sourceName) override;
    void ReleaseSample(talvex::ipcapture::IHostMediaSample* sample) override;
};

}  // namespace wfhost
