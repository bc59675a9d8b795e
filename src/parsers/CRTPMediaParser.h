// The common part of the RTP depacketizers: sequence continuity, the buffer
// a picture is assembled in with its size limit, the capture time of each
// picture, and handing a finished picture to the host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/IDriver.h"
#include "parsers/IMediaParserClient.h"
#include "rtsp/CRTPPacket.h"
#include "rtsp/CTimeStampConverter.h"

namespace talvex {

class CRTPMediaParser {
public:
    // The largest picture being assembled; beyond it the marker bit is taken
    // as lost and the partial picture dropped.
    static constexpr std::size_t kMaxFrameBytes = 10485760;

    CRTPMediaParser(IDriver* driver, std::string sourceName);
    virtual ~CRTPMediaParser();
    CRTPMediaParser(const CRTPMediaParser&) = delete;
    CRTPMediaParser& operator=(const CRTPMediaParser&) = delete;

    // Called for every RTP packet in arrival order, on one thread.
    virtual void ProcessPacket(const CRTPPacket& packet) = 0;
    // Drops the picture being assembled.
    virtual void Reset() = 0;

    void SetClient(IMediaParserClient* client) { m_client = client; }
    // For tests: a clock to stamp pictures with.
    void SetClock(CTimeStampConverter::FileTimeClock clock) { m_timeConverter = CTimeStampConverter(clock); }

    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }

private:
    void ReportHostFailure();

protected:
    // False when the packet does not directly follow the previous one.
    bool CheckSequence(const CRTPPacket& packet);
    // True for a second copy of the packet just processed: the network
    // duplicated it, nothing was lost, and it is ignored.
    bool IsRepeat(const CRTPPacket& packet) const {
        return !m_firstPacket && packet.SequenceNumber() == m_lastSequence;
    }
    // False, with the overflow line logged, when the picture grew too large.
    bool CheckBufferSize();

    // A host sample for a picture, or null (no allocator, no client, or the
    // host has none to give).
    ipcapture::IHostMediaSample* CreateSample(uint32_t fourcc, uint32_t bufferSize);
    // Stamps the sample with the picture's size, data size, code and capture
    // time, and offers it to the client. fourcc 0 leaves the code the sample
    // was created with. True when the client took it.
    bool OfferSample(ipcapture::IHostMediaSample* sample, uint32_t dataSize, uint32_t fourcc);
    void ReleaseSample(ipcapture::IHostMediaSample* sample);
    // The sample's buffer, or null when the host has none (or fails).
    uint8_t* BufferOf(ipcapture::IHostMediaSample* sample);

    uint16_t m_lastSequence = 0;
    bool m_firstPacket = true;
    IDriver* const m_driver;  // not owned
    const std::string m_sourceName;
    IMediaParserClient* m_client = nullptr;  // not owned; the channel
    SYSTEMTIME m_captureTime{};
    CTimeStampConverter m_timeConverter;
    std::vector<uint8_t> m_frameBuffer;  // kept between pictures: emptied, not freed
    uint32_t m_width = 0;
    uint32_t m_height = 0;
};

}  // namespace talvex
