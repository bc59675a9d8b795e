#include "channels/CCodecChannelsRTSP.h"

#include "base/FormatString.h"
#include "channels/StreamQuality.h"

namespace talvex {

namespace {

constexpr const char* kSourceName = "Wrenfield";

int Dimension(uint32_t value) { return static_cast<int>(value); }

}  // namespace

CH264ChannelRTSP::CH264ChannelRTSP(unsigned int channelIndex, ipcapture::IHostFrameSink* sink, IDriver* driver)
    : CCommonChannelRTSP(channelIndex, driver, sink), m_parser(driver, kSourceName) {
    m_parser.SetClient(this);
}

// The receiver threads feed the depacketizer: they end before it does.
CH264ChannelRTSP::~CH264ChannelRTSP() { Stop(); }

std::string CH264ChannelRTSP::ConfigurePath(unsigned int channelIndex, const CaptureSettings& settings) {
    return FormatString("/SetMultimedia.cgi?CH=%u&Compression_Type=1&VBR=%d&Video_Size=%dx%d&Fps=%d&Mode=h264",
                        channelIndex, VbrValue(settings.Quality), Dimension(settings.Width),
                        Dimension(settings.Height), FrameRateOf(settings.FrameIntervalMs));
}

bool CH264ChannelRTSP::ConfigureCamera() { return SendCgi(ConfigurePath(ChannelIndex(), Settings())); }

void CH264ChannelRTSP::ApplyCodecParameters(const SdpCodecParameters& parameters) {
    if (!parameters.Sps.empty() && !parameters.Pps.empty()) m_parser.SetParameterSets(parameters.Sps, parameters.Pps);
}

CMJPEGChannelRTSP::CMJPEGChannelRTSP(unsigned int channelIndex, ipcapture::IHostFrameSink* sink, IDriver* driver)
    : CCommonChannelRTSP(channelIndex, driver, sink), m_parser(driver, kSourceName) {
    m_parser.SetClient(this);
}

CMJPEGChannelRTSP::~CMJPEGChannelRTSP() { Stop(); }

std::string CMJPEGChannelRTSP::ConfigurePath(unsigned int channelIndex, const CaptureSettings& settings) {
    return FormatString("/SetMultimedia.cgi?CH=%u&Compression_Type=1&Jpeg_Quality=%d&Video_Size=%dx%d&Fps=%d&Mode=mjpeg",
                        channelIndex, static_cast<int>(settings.Quality / 25 + 1), Dimension(settings.Width),
                        Dimension(settings.Height), FrameRateOf(settings.FrameIntervalMs));
}

bool CMJPEGChannelRTSP::ConfigureCamera() { return SendCgi(ConfigurePath(ChannelIndex(), Settings())); }

CMPEGChannelRTSP::CMPEGChannelRTSP(unsigned int channelIndex, ipcapture::IHostFrameSink* sink, IDriver* driver)
    : CCommonChannelRTSP(channelIndex, driver, sink), m_parser(driver, kSourceName) {
    m_parser.SetClient(this);
}

CMPEGChannelRTSP::~CMPEGChannelRTSP() { Stop(); }

std::string CMPEGChannelRTSP::ConfigurePath(unsigned int channelIndex, const CaptureSettings& settings) {
    return FormatString("/SetMultimedia.cgi?CH=%u&Compression_Type=1&VBR=%d&Video_Size=%dx%d&Fps=%d&Mode=mpeg4",
                        channelIndex, VbrValue(settings.Quality), Dimension(settings.Width),
                        Dimension(settings.Height), FrameRateOf(settings.FrameIntervalMs));
}

bool CMPEGChannelRTSP::ConfigureCamera() { return SendCgi(ConfigurePath(ChannelIndex(), Settings())); }

void CMPEGChannelRTSP::ApplyCodecParameters(const SdpCodecParameters& parameters) {
    if (!parameters.Config.empty()) m_parser.SetConfig(parameters.Config);
}

}  // namespace talvex
