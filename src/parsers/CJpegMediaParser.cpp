#include "parsers/CJpegMediaParser.h"

#include <cstring>

#include "parsers/SampleSizes.h"

namespace talvex {

namespace {

constexpr uint8_t kMarkerPrefix = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kBaselineFrame = 0xC0;
// FF C0, length (2), precision (1), height (2), width (2).
constexpr std::size_t kFrameHeaderBytes = 9;
// An end of image starting this far behind the start-of-frame marker or
// later leaves the sizes inside the picture; one starting earlier cuts them.
constexpr std::size_t kLastCuttingEnd = kFrameHeaderBytes - 3;

uint32_t ReadU16(const uint8_t* bytes) { return static_cast<uint32_t>(bytes[0] << 8 | bytes[1]); }

}  // namespace

CJpegMediaParser::CJpegMediaParser(IMediaReceiver* receiver, IDriver* driver, std::string name)
    : CHttpMediaParser(receiver, driver, std::move(name)) {}

void CJpegMediaParser::Parse(const std::vector<uint8_t>& chunk) {
    m_frameBuffer.insert(m_frameBuffer.end(), chunk.begin(), chunk.end());
    Scan();
    if (!m_inFrame) {
        // Outside a picture only the unexamined tail (a lone 0xFF that may
        // begin the next marker) is worth keeping.
        m_frameBuffer.erase(m_frameBuffer.begin(), m_frameBuffer.begin() + static_cast<std::ptrdiff_t>(m_scanPos));
        m_scanPos = 0;
        return;
    }
    if (!CheckBufferSize()) Resync();
}

void CJpegMediaParser::Scan() {
    // A marker needs its second byte, so the last byte waits for the next read.
    while (m_scanPos + 1 < m_frameBuffer.size()) {
        const uint8_t* base = m_frameBuffer.data();
        const void* found = std::memchr(base + m_scanPos, kMarkerPrefix, m_frameBuffer.size() - 1 - m_scanPos);
        if (found == nullptr) {
            m_scanPos = m_frameBuffer.size() - 1;
            break;
        }
        const std::size_t pos = static_cast<std::size_t>(static_cast<const uint8_t*>(found) - base);
        // Before this marker can replace or end the pending segment.
        ReadFrameHeader(pos);
        const uint8_t marker = base[pos + 1];
        if (marker == kStartOfImage) {
            BeginPicture(pos);
        } else if (m_inFrame && marker == kEndOfImage) {
            EndPicture(pos + 2);
        } else {
            if (m_inFrame && marker == kBaselineFrame) m_frameHeaderPos = pos;
            // One byte on: 0xFF 0xFF 0xD8 still holds a start of image.
            m_scanPos = pos + 1;
        }
    }
    ReadFrameHeader(m_scanPos);
}

void CJpegMediaParser::BeginPicture(std::size_t markerPos) {
    // A new start of image abandons whatever was collected before it.
    m_frameBuffer.erase(m_frameBuffer.begin(), m_frameBuffer.begin() + static_cast<std::ptrdiff_t>(markerPos));
    m_inFrame = true;
    m_frameHeaderPos = kNone;
    m_scanPos = 2;
}

void CJpegMediaParser::EndPicture(std::size_t markerEnd) {
    ReadFrameHeader(markerEnd - 2);
    Deliver(m_frameBuffer.data(), markerEnd);
    m_frameBuffer.erase(m_frameBuffer.begin(), m_frameBuffer.begin() + static_cast<std::ptrdiff_t>(markerEnd));
    m_inFrame = false;
    m_frameHeaderPos = kNone;
    m_scanPos = 0;
}

void CJpegMediaParser::ReadFrameHeader(std::size_t noEndBefore) {
    // The sizes count only once it is known that no end of image cuts the
    // segment: read earlier they could come from bytes behind the picture,
    // and a picture would get a size or not depending on how the network
    // split the stream.
    if (m_frameHeaderPos == kNone || noEndBefore <= m_frameHeaderPos + kLastCuttingEnd ||
        m_frameBuffer.size() - m_frameHeaderPos < kFrameHeaderBytes)
        return;
    const uint8_t* header = m_frameBuffer.data() + m_frameHeaderPos;
    m_height = ReadU16(header + 5);
    m_width = ReadU16(header + 7);
    m_frameHeaderPos = kNone;
}

void CJpegMediaParser::Resync() {
    m_inFrame = false;
    m_frameBuffer.clear();
    m_frameHeaderPos = kNone;
    m_scanPos = 0;
}

void CJpegMediaParser::Deliver(const uint8_t* picture, std::size_t size) {
    // Without a known size the host could not place the picture.
    if (m_width == 0 || m_height == 0 || size > kMaxFrameBytes) return;
    const auto pictureSize = static_cast<uint32_t>(size);
    HandOver(kFourCC, pictureSize, picture, pictureSize, "talvex::CJpegMediaParser::Deliver");
}

}  // namespace talvex
