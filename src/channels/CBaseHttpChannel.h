#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
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
    // While no picture arrives, configuration-and-open attempts start at most
    // this often: a camera that refuses every login must not be hammered
    // (many lock the account after a few failures).
    static constexpr uint32_t kMinAttemptIntervalMs = 1000;

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
    // Breaks every blocking call of the capture thread (the configuration
    // request and the stream) so that a stop never waits for a time-out.
    void OnStopping() override;
    void OnStarting() override;
    virtual bool OpenStream() = 0;
    virtual bool ConfigureStream() = 0;
    // One read of the open stream; 0 when it ended, failed or was aborted.
    virtual std::size_t ReadStreamChunk(std::vector<uint8_t>& chunk);
    // Ends the stream's GET.
    virtual void CloseStream();

    // Sends one configuration request on a sender of its own (the stream's
    // sender keeps its one request for the stream); a stop aborts it.
    bool SendConfiguration(const std::string& path);

    Web::CHttpSender& Sender() { return *m_sender; }
    void SetParser(std::unique_ptr<CHttpMediaParser> parser) { m_parser = std::move(parser); }

private:
    // True when a stop was requested.
    bool ReadStream();
    // Hands a chunk to the parser; a picture that cannot be assembled is
    // dropped with one line and the stream goes on.
    void ParseChunk(const std::vector<uint8_t>& chunk);
    bool TimedOut();
    bool StopRequested() { return StopEvent().Wait(0); }
    // Waits out the rest of the attempt interval; true when a stop came.
    bool PaceAttempt(bool& first, uint64_t& picturesBefore);

    std::unique_ptr<Web::CHttpSender> m_sender;
    std::unique_ptr<CHttpMediaParser> m_parser;
    CTime m_attemptTime;                  // when the last attempt began; capture thread only
    std::atomic<uint64_t> m_picturesTaken{0};
    std::mutex m_configMutex;             // guards m_configSender
    Web::CHttpSender* m_configSender = nullptr;  // the configuration request in flight
};

}  // namespace talvex
