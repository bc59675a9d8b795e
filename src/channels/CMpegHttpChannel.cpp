#include "channels/CMpegHttpChannel.h"

#include "base/FormatString.h"
#include "channels/StreamQuality.h"
#include "parsers/CMpegMediaParser.h"

namespace talvex {

CMpegHttpChannel::CMpegHttpChannel(unsigned int channelIndex, ipcapture::IHostFrameSink* sink, IDriver* driver)
    : CBaseHttpChannel(channelIndex, driver, sink) {
    SetParser(std::make_unique<CMpegMediaParser>(this, driver, driver->GetDriverName()));
}

CMpegHttpChannel::~CMpegHttpChannel() { Stop(); }

std::string CMpegHttpChannel::ConfigurePath(unsigned int channelIndex, const CaptureSettings& settings) {
    return FormatString("/SetMultimedia.cgi?CH=%u&Compression_Type=1&VBR=%d&Video_Size=%dx%d&Fps=%d&Mode=mpeg4",
                        channelIndex, VbrValue(settings.Quality), static_cast<int>(settings.Width),
                        static_cast<int>(settings.Height), FramesPerSecond(settings.FrameIntervalMs));
}

bool CMpegHttpChannel::ConfigureStream() {
    return SendConfiguration(ConfigurePath(ChannelIndex(), Settings()));
}

bool CMpegHttpChannel::OpenStream() {
    if (!ConfigureStream()) return false;
    Sender().SetChunkSize(ChunkSizeForWidth(Settings().Width));
    return Sender().Get(StreamPath());
}

}  // namespace talvex
