#pragma once

#include <memory>
#include <vector>

#include "channels/CBaseCameraChannel.h"
#include "http/CHttpSender.h"
#include "parsers/CHttpMediaParser.h"
#include "parsers/IMediaReceiver.h"

namespace talvex {

// A channel fed by one long "/GetStream.cgi?" GET: configure the camera,
// open the stream, read it chunk by chunk into the media parser, watch for
// pictures and reconnect when they stop.
class CBaseHttpChannel : public CBaseCameraChannel, public IMediaReceiver {
public:
    CBaseHttpChannel(unsigned int channelIndex, IDriver* driver, ipcapture::IHostFrameSink* sink);
    ~CBaseHttpChannel() override;

    bool OnMediaSample(ipcapture::IHostMediaSample* sample) override;

    // The frame rate the camera is asked for: 1000 / interval rounded, 1
    // for an interval of 0.
    static int FramesPerSecond(uint32_t frameIntervalMs);
    // The read size follows the picture width.
    static uint32_t ChunkSizeForWidth(uint32_t width);
    // "/GetStream.cgi?" with "CH=n&" on multi-channel devices, then "Video=0".
    std::string StreamPath() const;

protected:
    uint32_t CaptureThread() override;
    // Breaks a read blocked on the camera so that a stop never waits for the
    // read time-out.
    void OnStopping() override;
    virtual bool OpenStream() = 0;
    virtual bool ConfigureStream() = 0;

    Web::CHttpSender& Sender() { return *m_sender; }
    void SetParser(std::unique_ptr<CHttpMediaParser> parser) { m_parser = std::move(parser); }

private:
    // True when a stop was requested.
    bool ReadStream();
    bool TimedOut();
    bool StopRequested() { return StopEvent().Wait(0); }

    std::unique_ptr<Web::CHttpSender> m_sender;
    std::unique_ptr<CHttpMediaParser> m_parser;
};

}  // namespace talvex
