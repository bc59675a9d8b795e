#pragma once

#include "CEncoder.h"
#include "CFrameQueue.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace camsim {

// The body of one "/GetStream.cgi" answer, produced as the client reads it:
// - MJPEG: multipart/x-mixed-replace, one JPEG picture per part with its Content-Length;
// - MPEG-4: the plain elementary stream, with the configuration headers (VOS, VO, VOL) in
//   front of every key picture, so a reader that joins late can start decoding there.
class CHttpMediaStream {
public:
    static constexpr const char* kBoundary = "wrenfieldframe";
    static constexpr std::size_t kMaxQueuedBytes = 4 * 1024 * 1024;

    // keepGoing is asked between pictures; the stream ends when it turns false.
    CHttpMediaStream(std::shared_ptr<CEncoder> encoder, std::function<bool()> keepGoing);
    ~CHttpMediaStream();
    CHttpMediaStream(const CHttpMediaStream&) = delete;
    CHttpMediaStream& operator=(const CHttpMediaStream&) = delete;

    std::string ContentType() const;
    // Bytes to send next: empty when no picture came within wait, nothing when the stream ends.
    std::optional<std::string> NextChunk(std::chrono::milliseconds wait);

private:
    static bool StartsWithConfig(const std::string& picture);

    const std::shared_ptr<CEncoder> m_encoder;
    const std::shared_ptr<CFrameQueue> m_queue;
    const std::function<bool()> m_keepGoing;
    std::string m_config;  // MPEG-4 configuration headers from the stream format
};

}  // namespace camsim
