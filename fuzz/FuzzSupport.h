// Shared by the depacketizer fuzz targets: a driver face with a sample
// allocator, a channel that takes every picture, and the input format, which
// is that of the RTP test vectors: packets, each behind a 2-byte big-endian
// length (RFC 4571 framing), so the vectors seed the fuzzers as they are.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/IDriver.h"
#include "parsers/IMediaParserClient.h"
#include "rtsp/CRTPPacket.h"

namespace wffuzz {

class CSample final : public talvex::ipcapture::IHostMediaSample {
public:
    explicit CSample(unsigned int size) : m_buffer(size) {}
    uint8_t* GetBuffer() override { return m_buffer.data(); }
    void SetDataSize(unsigned int bytes) override { m_dataSize = bytes; }
    void SetTimeNow() override {}
    void SetTime(const SYSTEMTIME*) override {}
    void SetFourCC(unsigned int fourcc) override { m_fourcc = fourcc; }
    void SetHeight(unsigned int) override {}
    void SetWidth(unsigned int) override {}
    void SetSizeClass(unsigned int) override {}
    // Touches every delivered byte, so a picture larger than its sample shows up.
    uint8_t Checksum() const {
        uint8_t sum = 0;
        for (std::size_t i = 0; i < m_dataSize && i < m_buffer.size(); ++i) sum ^= m_buffer[i];
        if (m_dataSize > m_buffer.size()) __builtin_trap();
        return sum;
    }
    std::vector<uint8_t> Bytes() const {
        return {m_buffer.begin(), m_buffer.begin() + std::min<std::size_t>(m_dataSize, m_buffer.size())};
    }
    unsigned int FourCC() const { return m_fourcc; }

private:
    std::vector<uint8_t> m_buffer;
    unsigned int m_dataSize = 0;
    unsigned int m_fourcc = 0;
};

class CAllocator final : public talvex::ipcapture::IHostSampleAllocator {
public:
    talvex::ipcapture::IHostMediaSample* CreateSample(unsigned int, unsigned int size, const char*) override {
        return new CSample(size);
    }
    void ReleaseSample(talvex::ipcapture::IHostMediaSample* sample) override { delete static_cast<CSample*>(sample); }
};

class CDriver final : public talvex::IDriver {
public:
    void DebugMessage(int32_t, const char*, ...) override {}
    std::string GetDriverName() override { return "Wrenfield"; }
    talvex::DEVICE_INFO& GetDeviceInfo() override { return m_device; }
    std::pair<uint32_t, uint32_t> GetIOCounts() override { return {0, 0}; }
    talvex::ipcapture::IHostSampleAllocator* GetSampleAllocator() override { return &m_allocator; }
    int32_t GetFlagParam() override { return 0; }
    int32_t GetStreamType() override { return 0; }
    uint32_t GetChannelCount() override { return 1; }
    std::string GetAddressWithPort() override { return "127.0.0.1:80"; }
    std::string GetCustomParam(unsigned int) override { return {}; }
    int32_t GetCustomParamInt(unsigned int) override { return talvex::kCustomParamAbsent; }

private:
    talvex::DEVICE_INFO m_device;
    CAllocator m_allocator;
};

class CClient final : public talvex::IMediaParserClient {
public:
    bool OnFrame(talvex::ipcapture::IHostMediaSample* sample) override {
        checksum ^= static_cast<CSample*>(sample)->Checksum();
        // Refuse now and then, so the reset path is exercised too.
        return (++frames % 7) != 0;
    }
    std::pair<uint32_t, uint32_t> GetPictureSize() override { return {0, 0}; }
    uint8_t checksum = 0;
    unsigned frames = 0;
};

// Feeds each framed packet of the input to the parser, as the channel would.
template <typename TParser>
void FeedFramedPackets(TParser& parser, const uint8_t* data, std::size_t size) {
    talvex::CRTPPacket packet;
    std::size_t pos = 0;
    while (size - pos >= 2) {
        const std::size_t length = static_cast<std::size_t>(data[pos] << 8 | data[pos + 1]);
        pos += 2;
        if (size - pos < length) break;
        // A copy of exactly the packet, so an overread of it is caught.
        std::vector<uint8_t> bytes(data + pos, data + pos + length);
        if (packet.Parse(bytes.data(), bytes.size())) parser.ProcessPacket(packet);
        pos += length;
    }
}

}  // namespace wffuzz
