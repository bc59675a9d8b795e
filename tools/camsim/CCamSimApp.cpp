#include "CCamSimApp.h"

#include "CJsonWriter.h"

#include <unistd.h>

namespace camsim {
namespace {

// Each open stream holds a worker, so a video server needs a few per channel.
std::size_t CameraWorkers(int channels) { return static_cast<std::size_t>(16 + 4 * channels); }
constexpr std::size_t kControlWorkers = 4;

}  // namespace

CCamSimApp::CCamSimApp(const SCamSimOptions& options)
    : m_state(options),
      m_encoders(m_faults, options.sharedEncode, options.h264File, options.h264Lockstep),
      m_rtsp(m_state, m_encoders, m_faults, m_log),
      m_pages(m_state, [this] { return m_rtsp.Port(); }),
      m_control(m_state, m_log, m_faults, MakeActions()),
      m_cameraHandler(m_state, m_pages, m_control, m_encoders, m_faults, m_log),
      m_cameraEndpoint([this](const httplib::Request& q, httplib::Response& r) { m_cameraHandler.Handle(q, r); },
                       CameraWorkers(options.channels)),
      m_controlEndpoint(
          [this](const httplib::Request& q, httplib::Response& r) {
              const SCgiReply reply = CControlApi::IsControlPath(q.path)
                                          ? m_control.Handle(q.path, q.params)
                                          : SCgiReply{404, "{\"ok\":false,\"error\":\"not a control path\"}"};
              r.status = reply.status;
              r.set_content(reply.body, "application/json");
          },
          kControlWorkers) {
    m_state.SetVideoListener([this](int channel) { m_rtsp.OnVideoChanged(channel); });
}

CCamSimApp::~CCamSimApp() { Stop(); }

SControlActions CCamSimApp::MakeActions() {
    SControlActions actions;
    actions.dropAll = [this] { DropAll(); };
    actions.setReachable = [this](bool reachable) { SetReachable(reachable); };
    actions.reachable = [this] {
        std::lock_guard<std::mutex> lock(m_reachMutex);
        return m_reachable;
    };
    actions.setUdpAllowed = [this](bool allowed) { m_rtsp.SetUdpAllowed(allowed); };
    actions.setRtspRefused = [this](bool refused) { SetRtspRefused(refused); };
    actions.rtspRefused = [this] {
        std::lock_guard<std::mutex> lock(m_reachMutex);
        return m_rtspRefused;
    };
    actions.describePorts = [this](CJsonWriter& json) {
        json.Field("http_port", m_cameraEndpoint.Port())
            .Field("rtsp_port", m_rtsp.Port())
            .Field("control_port", m_controlEndpoint.Port());
    };
    return actions;
}

bool CCamSimApp::Start(std::string& error) {
    const SCamSimOptions& o = m_state.Options();
    return m_encoders.Prepare(error) && m_rtsp.Start(o.rtspPort, error) && m_cameraEndpoint.Start(o.httpPort, error) &&
           m_controlEndpoint.Start(o.controlPort, error);
}

void CCamSimApp::Stop() {
    m_cameraHandler.SetServing(false);
    m_cameraEndpoint.Stop();
    m_controlEndpoint.Stop();
    m_rtsp.Stop();
}

std::string CCamSimApp::ReadyLine() const {
    CJsonWriter json;
    json.BeginObject()
        .Field("http_port", m_cameraEndpoint.Port())
        .Field("rtsp_port", m_rtsp.Port())
        .Field("control_port", m_controlEndpoint.Port())
        .Field("pid", static_cast<long long>(getpid()))
        .EndObject();
    return json.Text();
}

void CCamSimApp::DropAll() {
    m_faults.BumpDropGeneration();
    m_rtsp.DropAll();
}

void CCamSimApp::SetReachable(bool reachable) {
    std::lock_guard<std::mutex> lock(m_reachMutex);
    if (reachable == m_reachable) return;
    m_reachable = reachable;
    if (!reachable) {
        // Close the ports first so that nothing new connects while the old connections end.
        m_cameraHandler.SetServing(false);
        m_rtsp.SetListening(false);
        m_rtsp.DropAll();
        m_cameraEndpoint.Stop();
        return;
    }
    m_cameraHandler.SetServing(true);
    std::string error;
    if (!m_cameraEndpoint.Start(0, error)) std::fprintf(stderr, "camsim: %s\n", error.c_str());
    if (!m_rtspRefused) m_rtsp.SetListening(true);
}

void CCamSimApp::SetRtspRefused(bool refused) {
    std::lock_guard<std::mutex> lock(m_reachMutex);
    if (refused == m_rtspRefused) return;
    m_rtspRefused = refused;
    // A camera whose RTSP server went down while its web server answers: the port refuses
    // connections and the sessions it carried end.
    if (refused) {
        m_rtsp.SetListening(false);
        m_rtsp.DropAll();
    } else if (m_reachable) {
        m_rtsp.SetListening(true);
    }
}

}  // namespace camsim
