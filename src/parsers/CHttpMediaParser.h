#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/IDriver.h"
#include "parsers/IMediaReceiver.h"

namespace talvex {

// Cuts an HTTP media byte stream into pictures for its channel.
class CHttpMediaParser {
public:
    // The largest picture being assembled; beyond it the stream is taken as
    // broken and the partial picture dropped.
    static constexpr std::size_t kMaxFrameBytes = 10485760;

    CHttpMediaParser(IMediaReceiver* receiver, IDriver* driver, std::string name);
    virtual ~CHttpMediaParser();
    CHttpMediaParser(const CHttpMediaParser&) = delete;
    CHttpMediaParser& operator=(const CHttpMediaParser&) = delete;

    virtual void Parse(const std::vector<uint8_t>& chunk) = 0;
    // Forgets the picture being assembled and waits for the next start.
    virtual void Resync() = 0;

    uint32_t Width() const { return m_width; }
    uint32_t Height() const { return m_height; }

protected:
    // False, with the overflow line logged, when the picture grew too large.
    bool CheckBufferSize();
    // Hands one picture to the host in a sample of bufferSize bytes. Whatever
    // the host throws loses this picture only: the sample goes back, one
    // line names the loss, and the stream goes on.
    void HandOver(uint32_t fourcc, uint32_t bufferSize, const uint8_t* picture, uint32_t size, const char* source);

    IMediaReceiver* const m_receiver;  // the owning channel
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    std::vector<uint8_t> m_frameBuffer;
    IDriver* const m_driver;  // not owned
    const std::string m_name;
    bool m_inFrame = false;
};

}  // namespace talvex
