#pragma once

#include "CCgiPages.h"
#include "CControlApi.h"
#include "CEncoderHub.h"
#include "CFaultState.h"
#include "CHttpAuthenticator.h"
#include "CRequestLog.h"

#include <httplib.h>

#include <atomic>

namespace camsim {

// Answers every request on the camera's web port: logs it, applies forced statuses, checks
// credentials, then serves a CGI page or a "/GetStream.cgi" stream. Control paths are passed
// to the control API without logging or authentication.
class CCameraHttpHandler {
public:
    CCameraHttpHandler(CCameraState& state, CCgiPages& pages, CControlApi& control, CEncoderHub& encoders,
                       CFaultState& faults, CRequestLog& log);

    void Handle(const httplib::Request& request, httplib::Response& response);
    // While false, open streams end and new ones are refused (the camera is going away).
    void SetServing(bool serving) { m_serving.store(serving); }

private:
    // Returns the status answered.
    int Serve(const httplib::Request& request, httplib::Response& response);
    int ServeStream(const httplib::Request& request, httplib::Response& response);

    CCameraState& m_state;
    CCgiPages& m_pages;
    CControlApi& m_control;
    CEncoderHub& m_encoders;
    CFaultState& m_faults;
    CRequestLog& m_log;
    const CHttpAuthenticator m_auth;
    std::atomic<bool> m_serving{true};
};

}  // namespace camsim
