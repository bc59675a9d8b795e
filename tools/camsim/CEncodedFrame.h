#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <string>

namespace camsim {

// One encoded picture as an encoder produced it. Holds its own reference to the buffer, so
// the picture can be shared by every stream that sends it without copying.
class CEncodedFrame {
public:
    CEncodedFrame(GstBuffer* buffer, std::uint64_t number);  // takes a new reference
    ~CEncodedFrame();
    CEncodedFrame(const CEncodedFrame&) = delete;
    CEncodedFrame& operator=(const CEncodedFrame&) = delete;

    GstBuffer* Buffer() const { return m_buffer; }
    bool IsKey() const;
    std::uint64_t Number() const { return m_number; }  // the counter painted into the picture
    std::size_t Size() const;
    void AppendTo(std::string& out) const;

private:
    GstBuffer* const m_buffer;
    const std::uint64_t m_number;
};

}  // namespace camsim
