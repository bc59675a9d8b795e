#include "parsers/CH264RTPMediaParser.h"

#include <cstring>

#include "parsers/H264Sps.h"
#include "parsers/SampleSizes.h"

namespace talvex {

namespace {

constexpr uint8_t kNalTypeMask = 0x1F;
constexpr uint8_t kNalHeaderHighBits = 0xE0;  // forbidden bit and nal_ref_idc
constexpr uint8_t kNalSlice = 1;
constexpr uint8_t kNalPartitionA = 2;
constexpr uint8_t kNalIdr = 5;
constexpr uint8_t kNalSps = 7;
constexpr uint8_t kNalPps = 8;
constexpr uint8_t kNalDelimiter = 9;
constexpr uint8_t kStapA = 24;
constexpr uint8_t kFuA = 28;
constexpr uint8_t kFuStart = 0x80;
constexpr uint8_t kFuEnd = 0x40;
constexpr uint8_t kStartCode[] = {0x00, 0x00, 0x01};
// An access unit delimiter (primary_pic_type 1) closing every picture.
constexpr uint8_t kPictureEnd[] = {0x00, 0x00, 0x01, 0x09, 0x30};
constexpr std::size_t kMinSingleNal = 3;
constexpr std::size_t kMinAggregate = 4;
constexpr std::size_t kMinFragment = 3;

}  // namespace

CH264RTPMediaParser::CH264RTPMediaParser(IDriver* driver, std::string sourceName)
    : CRTPMediaParser(driver, std::move(sourceName)) {}

bool CH264RTPMediaParser::FindSpsSize(const uint8_t* buffer, std::size_t size, uint32_t& width, uint32_t& height) {
    return talvex::FindSpsSize(buffer, size, width, height);
}

void CH264RTPMediaParser::SetParameterSets(const std::vector<uint8_t>& sps, const std::vector<uint8_t>& pps) {
    if (sps.empty() || pps.empty()) return;
    m_sps = sps;
    m_pps = pps;
}

void CH264RTPMediaParser::Reset() {
    m_waitForKeyFrame = true;
    m_width = 0;
    m_height = 0;
    StartPicture();
}

void CH264RTPMediaParser::StartPicture() {
    m_frameBuffer.clear();
    m_hasSps = m_hasPps = m_hasIdr = false;
    m_fragmentOpen = false;
    m_sliceSeen = m_startsAtFirstSlice = false;
}

void CH264RTPMediaParser::ProcessPacket(const CRTPPacket& packet) {
    if (IsRepeat(packet)) return;
    // After a gap the partial picture is dropped, but the packet may begin
    // the next one, so it is still used.
    if (!CheckSequence(packet)) Reset();
    if (!AppendPayload(packet.Payload(), packet.PayloadLength()) || !CheckBufferSize()) {
        Reset();
        return;
    }
    if (packet.Marker() == 0) return;
    m_timeConverter.Update(packet.Timestamp());
    DeliverPicture();
    StartPicture();
}

bool CH264RTPMediaParser::AppendPayload(const uint8_t* payload, std::size_t length) {
    if (length == 0 || payload == nullptr) return false;
    const uint8_t kind = payload[0] & kNalTypeMask;
    if (kind >= 1 && kind <= 23) return AppendSingle(payload, length);
    if (kind == kStapA) return AppendAggregate(payload, length);
    if (kind == kFuA) return AppendFragment(payload, length);
    // STAP-B, MTAP16, MTAP24, FU-B and the undefined kinds 0, 30, 31.
    return false;
}

bool CH264RTPMediaParser::AppendSingle(const uint8_t* payload, std::size_t length) {
    // A unit that breaks into an open fragmented one would leave that one cut.
    if (m_fragmentOpen) return false;
    // Cameras send a delimiter in front of each picture; every picture gets
    // one at its end here, so a delimiter of the camera's is not kept (nor
    // taken as a broken unit for being short).
    if ((payload[0] & kNalTypeMask) == kNalDelimiter) return true;
    if (length < kMinSingleNal) return false;
    AppendNal(payload, length);
    return true;
}

//  STAP-A: | header | size (16) | NAL unit | size (16) | NAL unit | ...
bool CH264RTPMediaParser::AppendAggregate(const uint8_t* payload, std::size_t length) {
    if (m_fragmentOpen || length < kMinAggregate) return false;
    std::size_t pos = 1;
    while (length - pos >= 2) {
        const std::size_t unit = static_cast<std::size_t>(payload[pos] << 8 | payload[pos + 1]);
        pos += 2;
        if (length - pos < unit) return false;
        const uint8_t* nal = payload + pos;
        pos += unit;
        if (unit == 0 || (nal[0] & kNalTypeMask) == kNalDelimiter) continue;
        AppendNal(nal, unit);
    }
    // A lone trailing byte is padding, as before.
    return true;
}

//  FU-A: | indicator (F, NRI, 28) | header (S, E, R, type) | fragment ...
bool CH264RTPMediaParser::AppendFragment(const uint8_t* payload, std::size_t length) {
    if (length < kMinFragment) return false;
    const uint8_t indicator = payload[0], header = payload[1];
    const bool start = (header & kFuStart) != 0;
    // A start while another unit is still open, or a continuation without
    // its start, means a unit would be cut or glued to the one before.
    if (start == m_fragmentOpen) return false;
    if (start) {
        const uint8_t nalHeader = static_cast<uint8_t>((indicator & kNalHeaderHighBits) | (header & kNalTypeMask));
        NoteNalType(nalHeader & kNalTypeMask, payload + 2, length - 2);
        m_frameBuffer.insert(m_frameBuffer.end(), std::begin(kStartCode), std::end(kStartCode));
        m_frameBuffer.push_back(nalHeader);
    }
    m_frameBuffer.insert(m_frameBuffer.end(), payload + 2, payload + length);
    m_fragmentOpen = (header & kFuEnd) == 0;
    return true;
}

void CH264RTPMediaParser::AppendNal(const uint8_t* nal, std::size_t length) {
    NoteNalType(nal[0] & kNalTypeMask, nal + 1, length - 1);
    m_frameBuffer.insert(m_frameBuffer.end(), std::begin(kStartCode), std::end(kStartCode));
    m_frameBuffer.insert(m_frameBuffer.end(), nal, nal + length);
}

void CH264RTPMediaParser::NoteNalType(uint8_t type, const uint8_t* body, std::size_t bodyLength) {
    if (type == kNalSps) m_hasSps = true;
    if (type == kNalPps) m_hasPps = true;
    // A slice header (and a partition A) opens with first_mb_in_slice, whose
    // code is a single 1 bit for 0: the slice that begins the picture.
    const bool firstSlice = (type == kNalSlice || type == kNalPartitionA || type == kNalIdr) && bodyLength > 0 &&
                            (body[0] & 0x80) != 0;
    if (type >= kNalSlice && type <= kNalIdr && !m_sliceSeen) {
        m_sliceSeen = true;
        m_startsAtFirstSlice = firstSlice;
    }
    if (type != kNalIdr || m_hasIdr) return;
    m_hasIdr = true;
    // Only the slice that begins the picture gets the parameter sets: a
    // later slice after a loss must not turn the rest of a picture into a
    // key picture.
    if (firstSlice) InsertParameterSets();
}

void CH264RTPMediaParser::InsertParameterSets() {
    if ((m_hasSps && m_hasPps) || m_sps.empty() || m_pps.empty()) return;
    // Both go in front of the picture, the SPS first: parameter sets may
    // precede its SEI, the picture size is looked for at its start, and any
    // set of the camera's own comes later and so still takes effect.
    const uint8_t* code = kStartCode;
    m_frameBuffer.insert(m_frameBuffer.begin(), m_pps.begin(), m_pps.end());
    m_frameBuffer.insert(m_frameBuffer.begin(), code, code + sizeof kStartCode);
    m_frameBuffer.insert(m_frameBuffer.begin(), m_sps.begin(), m_sps.end());
    m_frameBuffer.insert(m_frameBuffer.begin(), code, code + sizeof kStartCode);
    m_hasSps = m_hasPps = true;
}

void CH264RTPMediaParser::DeliverPicture() {
    if (m_frameBuffer.empty() || m_driver == nullptr || m_client == nullptr ||
        m_driver->GetSampleAllocator() == nullptr)
        return;
    m_frameBuffer.insert(m_frameBuffer.end(), std::begin(kPictureEnd), std::end(kPictureEnd));
    // After a loss only a picture collected from its first slice on can end
    // the wait: the tail of a picture may still carry parameter sets of its
    // own (a sender repeats them in front of every IDR slice).
    if (m_waitForKeyFrame && !m_startsAtFirstSlice) return;
    uint32_t fourcc = kFourCCOther;
    uint32_t width = 0, height = 0;
    if (talvex::FindSpsSize(m_frameBuffer.data(), m_frameBuffer.size(), width, height)) {
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
