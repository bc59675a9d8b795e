#include "parsers/CMpeg4RTPMediaParser.h"

#include <cstring>

#include "parsers/Mpeg4VideoHeader.h"
#include "parsers/SampleSizes.h"

namespace talvex {

namespace {

constexpr uint8_t kSequenceStart = 0xB0;
constexpr uint8_t kGroupStart = 0xB3;
constexpr uint8_t kVopStart = 0xB6;
constexpr uint8_t kLastLayerCode = 0x2F;  // 00..1F video object, 20..2F video object layer
constexpr uint8_t kCodingTypeShift = 6;
constexpr uint8_t kIntraVop = 0;

bool IsStartCode(const uint8_t* p, std::size_t length, std::size_t at) {
    return length - at >= 4 && p[at] == 0 && p[at + 1] == 0 && p[at + 2] == 1;
}

bool IsPictureStart(const uint8_t* p, std::size_t length, std::size_t at) {
    return IsStartCode(p, length, at) && (p[at + 3] == kVopStart || p[at + 3] == kGroupStart);
}

bool IsConfigurationStart(const uint8_t* p, std::size_t length) {
    return IsStartCode(p, length, 0) && (p[3] == kSequenceStart || p[3] <= kLastLayerCode);
}

// The first VOP or group start code at or after from; length when none.
std::size_t FindPictureStart(const uint8_t* p, std::size_t length, std::size_t from) {
    for (std::size_t i = from; i + 4 <= length; ++i)
        if (IsPictureStart(p, length, i)) return i;
    return length;
}

}  // namespace

CMpeg4RTPMediaParser::CMpeg4RTPMediaParser(IDriver* driver, std::string sourceName)
    : CRTPMediaParser(driver, std::move(sourceName)) {}

bool CMpeg4RTPMediaParser::ReadVideoSize(const uint8_t* bytes, std::size_t length, uint32_t& width,
                                          uint32_t& height) {
    return talvex::ReadVideoSize(bytes, length, width, height);
}

void CMpeg4RTPMediaParser::Reset() {
    m_waitForKeyFrame = true;
    m_keyFrame = false;
    m_width = 0;
    m_height = 0;
    m_frameBuffer.clear();
}

void CMpeg4RTPMediaParser::ProcessPacket(const CRTPPacket& packet) {
    if (IsRepeat(packet)) return;
    if (!CheckSequence(packet)) Reset();
    const uint8_t* payload = packet.Payload();
    const std::size_t length = packet.PayloadLength();
    if (payload == nullptr) return;
    // A sender may put several small VOPs in one packet: each becomes a
    // picture of its own, the last one ending with the packet's marker.
    for (std::size_t pos = 0; pos < length;) {
        const std::size_t end = NextPictureBoundary(payload, length, pos);
        const bool ended = end < length || packet.Marker() != 0;
        if (!ProcessSegment(payload + pos, end - pos, ended, packet.Timestamp())) return;
        pos = end;
    }
}

bool CMpeg4RTPMediaParser::ProcessSegment(const uint8_t* segment, std::size_t length, bool ended, uint32_t rtpTime) {
    const std::size_t offset = TakeConfiguration(segment, length);
    if (IsPictureStart(segment, length, offset)) StartPicture(segment, length, offset);
    // Until an I-VOP starts, the rest of a picture has nothing to complete.
    if (m_waitForKeyFrame && !m_keyFrame) return true;
    if (length > offset) m_frameBuffer.insert(m_frameBuffer.end(), segment + offset, segment + length);
    if (!CheckBufferSize()) {
        Reset();
        return false;
    }
    if (!ended) return true;
    m_timeConverter.Update(rtpTime);
    DeliverPicture();
    m_frameBuffer.clear();
    return true;
}

std::size_t CMpeg4RTPMediaParser::NextPictureBoundary(const uint8_t* p, std::size_t length, std::size_t from) {
    // Inside a VOP (a VOP start, or the continuation of one), the next
    // header or VOP start code begins another picture.
    bool inVop = IsStartCode(p, length, from) ? p[from + 3] == kVopStart : true;
    for (std::size_t i = from + 1; length - i >= 4;) {
        const void* found = std::memchr(p + i + 2, 0x01, length - i - 2 - 1);
        if (found == nullptr) break;
        const std::size_t at = static_cast<std::size_t>(static_cast<const uint8_t*>(found) - p) - 2;
        if (at >= from + 1 && IsStartCode(p, length, at)) {
            const uint8_t code = p[at + 3];
            if (inVop && (code == kVopStart || code == kGroupStart || code == kSequenceStart)) return at;
            if (code == kVopStart) inVop = true;
        }
        i = at + 1;
    }
    return length;
}

std::size_t CMpeg4RTPMediaParser::TakeConfiguration(const uint8_t* payload, std::size_t length) {
    if (payload == nullptr || !IsConfigurationStart(payload, length)) return 0;
    // The headers run up to the picture that follows them in the packet, or
    // fill the packet when the camera sends them on their own.
    const std::size_t end = FindPictureStart(payload, length, 4);
    m_headers.SetVolHeader(payload, end);
    return end;
}

void CMpeg4RTPMediaParser::StartPicture(const uint8_t* payload, std::size_t length, std::size_t offset) {
    // A picture still open has lost its end, and the pictures after it may
    // refer to it: wait for the next I-VOP.
    if (!m_frameBuffer.empty()) Reset();
    // A group of VOPs header leads into an I-VOP; when its VOP is in a later
    // packet it is taken as one.
    bool intra = true;
    std::size_t vop = offset;
    while (vop < length && payload[vop + 3] != kVopStart) vop = FindPictureStart(payload, length, vop + 4);
    if (vop < length && length - vop > 4) intra = (payload[vop + 4] >> kCodingTypeShift) == kIntraVop;
    m_keyFrame = intra;
    if (!intra) return;
    const std::vector<uint8_t>& headers = m_headers.VolHeader();
    m_frameBuffer.insert(m_frameBuffer.end(), headers.begin(), headers.end());
}

void CMpeg4RTPMediaParser::DeliverPicture() {
    if (m_frameBuffer.empty() || m_driver == nullptr || m_client == nullptr ||
        m_driver->GetSampleAllocator() == nullptr)
        return;
    uint32_t fourcc = kFourCCOther;
    if (m_keyFrame) {
        uint32_t width = 0, height = 0;
        if (!talvex::ReadVideoSize(m_frameBuffer.data(), m_frameBuffer.size(), width, height)) {
            Reset();
            return;
        }
        m_width = width;
        m_height = height;
        fourcc = kFourCCKey;
        m_waitForKeyFrame = false;
    } else if (m_waitForKeyFrame) {
        return;
    }
    const uint32_t size = static_cast<uint32_t>(m_frameBuffer.size());
    ipcapture::IHostMediaSample* sample = CreateSample(fourcc, SampleBufferSize(size));
    if (sample == nullptr) return;
    uint8_t* buffer = BufferOf(sample);
    if (buffer == nullptr) {
        Reset();
    } else {
        std::memcpy(buffer, m_frameBuffer.data(), size);
        if (!OfferSample(sample, size, fourcc)) Reset();
    }
    ReleaseSample(sample);
}

}  // namespace talvex
