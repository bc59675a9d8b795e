#pragma once

#include <string>

#include "channels/CBaseHttpChannel.h"

namespace talvex {

// MPEG-4 part 2 over the camera's HTTP stream.
class CMpegHttpChannel final : public CBaseHttpChannel {
public:
    CMpegHttpChannel(unsigned int channelIndex, ipcapture::IHostFrameSink* sink, IDriver* driver);
    ~CMpegHttpChannel() override;

    // The configuration request sent before each stream of the input.
    static std::string ConfigurePath(unsigned int channelIndex, const CaptureSettings& settings);

protected:
    bool OpenStream() override;
    bool ConfigureStream() override;
};

}  // namespace talvex
