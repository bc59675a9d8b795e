// The three codec channels over RTSP: each writes its compression settings
// to the camera before a session and owns the depacketizer of its stream.
#pragma once

#include <string>

#include "channels/CCommonChannelRTSP.h"
#include "parsers/CH264RTPMediaParser.h"
#include "parsers/CJpegRTPMediaParser.h"
#include "parsers/CMpeg4RTPMediaParser.h"

namespace talvex {

class CH264ChannelRTSP final : public CCommonChannelRTSP {
public:
    CH264ChannelRTSP(unsigned int channelIndex, ipcapture::IHostFrameSink* sink, IDriver* driver);
    ~CH264ChannelRTSP() override;
    static std::string ConfigurePath(unsigned int channelIndex, const CaptureSettings& settings);
    void OnSdpParameters(const SdpCodecParameters& parameters) override { QueueCodecParameters(parameters); }

protected:
    bool ConfigureCamera() override;
    void HandleRtpPacket(const CRTPPacket& packet) override { m_parser.ProcessPacket(packet); }
    void ResetDepacketizer() override { m_parser.Reset(); }
    void ApplyCodecParameters(const SdpCodecParameters& parameters) override;

private:
    CH264RTPMediaParser m_parser;
};

class CMJPEGChannelRTSP final : public CCommonChannelRTSP {
public:
    CMJPEGChannelRTSP(unsigned int channelIndex, ipcapture::IHostFrameSink* sink, IDriver* driver);
    ~CMJPEGChannelRTSP() override;
    static std::string ConfigurePath(unsigned int channelIndex, const CaptureSettings& settings);
    // A JPEG stream carries everything in band.
    void OnSdpParameters(const SdpCodecParameters&) override {}

protected:
    bool ConfigureCamera() override;
    void HandleRtpPacket(const CRTPPacket& packet) override { m_parser.ProcessPacket(packet); }
    void ResetDepacketizer() override { m_parser.Reset(); }

private:
    CJpegRTPMediaParser m_parser;
};

class CMPEGChannelRTSP final : public CCommonChannelRTSP {
public:
    CMPEGChannelRTSP(unsigned int channelIndex, ipcapture::IHostFrameSink* sink, IDriver* driver);
    ~CMPEGChannelRTSP() override;
    static std::string ConfigurePath(unsigned int channelIndex, const CaptureSettings& settings);
    void OnSdpParameters(const SdpCodecParameters& parameters) override { QueueCodecParameters(parameters); }

protected:
    bool ConfigureCamera() override;
    void HandleRtpPacket(const CRTPPacket& packet) override { m_parser.ProcessPacket(packet); }
    void ResetDepacketizer() override { m_parser.Reset(); }
    // The decoder configuration of the session description, so that the
    // first pictures need not wait for one in band.
    void ApplyCodecParameters(const SdpCodecParameters& parameters) override;

private:
    CMpeg4RTPMediaParser m_parser;
};

}  // namespace talvex
