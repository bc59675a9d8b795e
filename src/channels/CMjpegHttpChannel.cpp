#include "channels/CMjpegHttpChannel.h"

#include "base/FormatString.h"
#include "parsers/CJpegMediaParser.h"

namespace talvex {

CMjpegHttpChannel::CMjpegHttpChannel(unsigned int channelIndex, ipcapture::IHostFrameSink* sink, IDriver* driver)
    : CBaseHttpChannel(channelIndex, driver, sink) {
    SetParser(std::make_unique<CJpegMediaParser>(this, driver, driver->GetDriverName()));
}

CMjpegHttpChannel::~CMjpegHttpChannel() { Stop(); }

std::string CMjpegHttpChannel::ConfigurePath() const {
    const CaptureSettings& settings = Settings();
    return FormatString("/SetMultimedia.cgi?CH=%u&Compression_Type=1&Jpeg_Quality=%d&Video_Size=%dx%d&Fps=%d&Mode=mjpeg",
                        ChannelIndex(), JpegQuality(settings.Quality), static_cast<int>(settings.Width),
                        static_cast<int>(settings.Height), FramesPerSecond(settings.FrameIntervalMs));
}

bool CMjpegHttpChannel::ConfigureStream() {
    return SendConfiguration(ConfigurePath());
}

bool CMjpegHttpChannel::OpenStream() {
    if (!ConfigureStream()) return false;
    Sender().SetChunkSize(ChunkSizeForWidth(Settings().Width));
    return Sender().Get(StreamPath());
}

}  // namespace talvex
