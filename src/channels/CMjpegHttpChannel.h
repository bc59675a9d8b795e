#pragma once

#include "channels/CBaseHttpChannel.h"

namespace talvex {

// MJPEG over the camera's HTTP stream.
class CMjpegHttpChannel final : public CBaseHttpChannel {
public:
    CMjpegHttpChannel(unsigned int channelIndex, ipcapture::IHostFrameSink* sink, IDriver* driver);
    ~CMjpegHttpChannel() override;

    // The camera's JPEG quality 1..5 from the host's 0..100.
    static int JpegQuality(uint32_t quality) { return static_cast<int>(quality / 25 + 1); }
    // The configuration request sent before each stream.
    std::string ConfigurePath() const;

protected:
    bool OpenStream() override;
    bool ConfigureStream() override;
};

}  // namespace talvex
