#pragma once

#include "CCameraState.h"

#include <functional>
#include <map>
#include <optional>
#include <string>

namespace camsim {

struct SCgiReply {
    int status = 200;
    std::string body;
};

// Query parameters as the web server decoded them (first value of a repeated key wins).
using CgiParams = std::multimap<std::string, std::string>;

// The camera's CGI pages: reading them renders "name=value<br>" records from the camera state,
// the setting pages change that state. Knows nothing of HTTP beyond status codes.
class CCgiPages {
public:
    // rtspPort is asked on every network page read, since the RTSP server may be restarted.
    CCgiPages(CCameraState& state, std::function<int()> rtspPort);

    // The stream path of a channel (0-based), as the network page reports it and RTSP serves it.
    static std::string LivePath(int channel);

    // Nothing when the path is not a CGI page of the camera.
    std::optional<SCgiReply> Handle(const std::string& path, const CgiParams& params) const;

private:
    SCgiReply GetCameraType() const;
    SCgiReply GetMultimedia(const CgiParams& params) const;
    SCgiReply SetMultimedia(const CgiParams& params) const;
    SCgiReply GetPtz(const CgiParams& params) const;
    SCgiReply SetPtz(const CgiParams& params) const;
    SCgiReply GetMac() const;
    SCgiReply GetVersion() const;
    SCgiReply GetNetwork() const;
    SCgiReply GetGpio() const;
    SCgiReply SetGpio(const CgiParams& params) const;

    // The 0-based channel named by "CH", 0 when absent; nothing when it names no channel.
    std::optional<int> Channel(const CgiParams& params) const;

    CCameraState& m_state;
    const std::function<int()> m_rtspPort;
};

}  // namespace camsim
