#pragma once

#include "CCameraState.h"
#include "CCgiPages.h"
#include "CFaultState.h"
#include "CRequestLog.h"

#include <functional>
#include <string>

namespace camsim {

// What the control API asks of the servers.
struct SControlActions {
    std::function<void()> dropAll;              // close every stream and RTSP connection
    std::function<void(bool)> setReachable;     // close or reopen the camera's ports
    std::function<bool()> reachable;
    std::function<void(class CJsonWriter&)> describePorts;
    std::function<void(bool)> setUdpAllowed;    // refuse (false) or offer RTP over UDP in RTSP sessions
    std::function<void(bool)> setRtspRefused;   // close (true) or reopen the RTSP port alone
    std::function<bool()> rtspRefused;
};

// The test control API, under kPrefix (a path the camera itself never serves). Every answer
// is JSON. Parameters come in the query, so plain GET requests drive everything.
class CControlApi {
public:
    static constexpr const char* kPrefix = "/camsim/";

    CControlApi(CCameraState& state, CRequestLog& log, CFaultState& faults, SControlActions actions);

    static bool IsControlPath(const std::string& path);
    SCgiReply Handle(const std::string& path, const CgiParams& params);

private:
    SCgiReply Status() const;
    SCgiReply Requests(const CgiParams& params) const;
    SCgiReply SetInput(const CgiParams& params);
    SCgiReply Io() const;
    SCgiReply Ptz(const CgiParams& params) const;
    SCgiReply Video(const CgiParams& params) const;
    SCgiReply Fail(const CgiParams& params);
    SCgiReply Delay(const CgiParams& params);
    SCgiReply RtspHold(const CgiParams& params);
    SCgiReply RtpFaults(const CgiParams& params);
    SCgiReply Reset();
    std::optional<int> Channel(const CgiParams& params) const;

    CCameraState& m_state;
    CRequestLog& m_log;
    CFaultState& m_faults;
    const SControlActions m_actions;
};

}  // namespace camsim
