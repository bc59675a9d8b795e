#pragma once

#include "CCameraHttpHandler.h"
#include "CCameraState.h"
#include "CCgiPages.h"
#include "CControlApi.h"
#include "CEncoderHub.h"
#include "CFaultState.h"
#include "CHttpEndpoint.h"
#include "CRequestLog.h"
#include "CRtspService.h"

#include <memory>
#include <mutex>
#include <string>

namespace camsim {

// The whole simulated camera: its state, its web and RTSP servers, and the control server
// that stays reachable while the camera's own ports are closed.
class CCamSimApp {
public:
    explicit CCamSimApp(const SCamSimOptions& options);
    ~CCamSimApp();
    CCamSimApp(const CCamSimApp&) = delete;
    CCamSimApp& operator=(const CCamSimApp&) = delete;

    bool Start(std::string& error);
    void Stop();
    // The line printed once the camera serves: ports as JSON.
    std::string ReadyLine() const;

private:
    SControlActions MakeActions();
    void DropAll();
    void SetReachable(bool reachable);
    void SetRtspRefused(bool refused);

    CCameraState m_state;
    CRequestLog m_log;
    CFaultState m_faults;
    CEncoderHub m_encoders;
    CRtspService m_rtsp;
    CCgiPages m_pages;
    CControlApi m_control;
    CCameraHttpHandler m_cameraHandler;
    CHttpEndpoint m_cameraEndpoint;
    CHttpEndpoint m_controlEndpoint;
    std::mutex m_reachMutex;  // serialises reachability changes
    bool m_reachable = true;
    bool m_rtspRefused = false;
};

}  // namespace camsim
