#pragma once

#include <cstddef>

#include "parsers/CHttpMediaParser.h"

namespace talvex {

// Cuts a multipart MJPEG stream into whole JPEG pictures, from the
// start-of-image marker through the end-of-image marker; everything between
// pictures (boundary lines, part headers) is dropped. The picture size comes
// from the baseline start-of-frame segment.
//
// Markers and segments are found in the assembled bytes, not per read, so a
// picture comes out the same however the network splits the stream.
class CJpegMediaParser final : public CHttpMediaParser {
public:
    void Resync() override;
    static constexpr uint32_t kFourCC = 0x4745504A;  // "JPEG"

    CJpegMediaParser(IMediaReceiver* receiver, IDriver* driver, std::string name);

    void Parse(const std::vector<uint8_t>& chunk) override;

private:
    void Scan();
    void BeginPicture(std::size_t markerPos);
    void EndPicture(std::size_t markerEnd);
    // noEndBefore: no end-of-image marker starts before this position.
    void ReadFrameHeader(std::size_t noEndBefore);
    void Deliver(const uint8_t* picture, std::size_t size);

    std::size_t m_scanPos = 0;  // next byte of m_frameBuffer to examine as a marker start
    std::size_t m_frameHeaderPos = kNone;  // pending start-of-frame marker in m_frameBuffer
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
};

}  // namespace talvex
