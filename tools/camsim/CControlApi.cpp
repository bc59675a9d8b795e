#include "CControlApi.h"

#include "CAppSrcFeed.h"
#include "CJsonWriter.h"

#include <algorithm>
#include <chrono>
#include <iterator>

namespace camsim {
namespace {

// How long a release waits for the held RTSP requests to move on to their answers.
constexpr std::chrono::milliseconds kReleaseWait{2000};

SCgiReply Json(const CJsonWriter& json, int status = 200) { return SCgiReply{status, json.Text()}; }

SCgiReply Ok() {
    CJsonWriter json;
    json.BeginObject().Field("ok", true).EndObject();
    return Json(json);
}

SCgiReply Error(int status, const std::string& message) {
    CJsonWriter json;
    json.BeginObject().Field("ok", false).Field("error", message).EndObject();
    return Json(json, status);
}

std::optional<std::string> Param(const CgiParams& params, const std::string& name) {
    const auto it = params.find(name);
    if (it == params.end()) return std::nullopt;
    return it->second;
}

std::optional<long long> IntParam(const CgiParams& params, const std::string& name) {
    const auto text = Param(params, name);
    return text ? ParseInteger(*text) : std::nullopt;
}

void WriteSettings(CJsonWriter& json, const SVideoSettings& video) {
    json.Field("codec", CodecName(video.codec))
        .Field("width", video.width)
        .Field("height", video.height)
        .Field("fps", video.fps)
        .Field("vbr", video.vbr)
        .Field("jpeg_quality", video.jpegQuality);
}

}  // namespace

CControlApi::CControlApi(CCameraState& state, CRequestLog& log, CFaultState& faults, SControlActions actions)
    : m_state(state), m_log(log), m_faults(faults), m_actions(std::move(actions)) {}

bool CControlApi::IsControlPath(const std::string& path) { return path.rfind(kPrefix, 0) == 0; }

SCgiReply CControlApi::Handle(const std::string& path, const CgiParams& params) {
    const std::string action = path.substr(std::string(kPrefix).size());
    if (action == "status") return Status();
    if (action == "requests") return Requests(params);
    if (action == "requests/clear") { m_log.Clear(); return Ok(); }
    if (action == "input") return SetInput(params);
    if (action == "io") return Io();
    if (action == "ptz") return Ptz(params);
    if (action == "video") return Video(params);
    if (action == "pause") { m_faults.SetPaused(true); return Ok(); }
    if (action == "resume") { m_faults.SetPaused(false); return Ok(); }
    if (action == "drop") { m_actions.dropAll(); return Ok(); }
    if (action == "fail") return Fail(params);
    if (action == "delay") return Delay(params);
    if (action == "unreachable") { m_actions.setReachable(false); return Ok(); }
    if (action == "reachable") { m_actions.setReachable(true); return Ok(); }
    if (action == "udp-block") { m_actions.setUdpAllowed(false); return Ok(); }
    if (action == "udp-drop") { m_faults.SetUdpDropped(true); return Ok(); }
    if (action == "udp-allow") {
        m_actions.setUdpAllowed(true);
        m_faults.SetUdpDropped(false);
        return Ok();
    }
    if (action == "rtsp-hold") return RtspHold(params);
    if (action == "rtsp-release") {
        m_faults.HoldRtspNext(0, 0, "");
        m_faults.ReleaseRtspHolds(kReleaseWait);
        return Ok();
    }
    if (action == "rtp-faults") return RtpFaults(params);
    if (action == "rtsp-refuse" || action == "rtsp-accept") {
        if (!m_actions.setRtspRefused) return Error(501, "no RTSP server here");
        m_actions.setRtspRefused(action == "rtsp-refuse");
        return Ok();
    }
    if (action == "reset") return Reset();
    return Error(404, "unknown control action");
}

std::optional<int> CControlApi::Channel(const CgiParams& params) const {
    const auto text = Param(params, "CH");
    if (!text) return 0;
    const auto channel = ParseInteger(*text);
    if (!channel || *channel < 0 || *channel >= m_state.Channels()) return std::nullopt;
    return static_cast<int>(*channel);
}

SCgiReply CControlApi::Status() const {
    CJsonWriter json;
    json.BeginObject();
    m_actions.describePorts(json);
    json.Field("rtsp_pictures_sent", static_cast<long long>(CAppSrcFeed::PicturesSent()));
    json.Field("channels", m_state.Channels())
        .Field("paused", m_faults.Paused())
        .Field("reachable", m_actions.reachable())
        .Field("forced_pending", m_faults.PendingForcedCount())
        .Field("delays_pending", m_faults.PendingDelayCount())
        .Field("udp_dropped", m_faults.UdpDropped())
        .Field("udp_withheld", m_faults.WithheldDestinations())
        .Field("rtsp_holds_pending", m_faults.PendingRtspHoldCount())
        .Field("rtsp_held", m_faults.HeldRtspRequests())
        .Field("forced_ms_left", m_faults.ForcedMsLeft())
        .Field("delayed", m_faults.DelayedRequests())
        .Field("rtsp_refused", m_actions.rtspRefused && m_actions.rtspRefused())
        .Field("rtp_dropped", m_faults.Rtp().Dropped())
        .Field("rtp_reordered", m_faults.Rtp().Reordered())
        .Field("rtp_duplicated", m_faults.Rtp().Duplicated())
        .EndObject();
    return Json(json);
}

SCgiReply CControlApi::Requests(const CgiParams& params) const {
    const auto since = IntParam(params, "since").value_or(0);
    if (since < 0) return Error(400, "since must not be negative");
    CJsonWriter json;
    json.BeginObject().Key("requests").BeginArray();
    for (const SLoggedRequest& r : m_log.Since(static_cast<std::uint64_t>(since))) {
        json.BeginObject()
            .Field("seq", r.sequence)
            .Field("protocol", r.protocol)
            .Field("method", r.method)
            .Field("path", r.path)
            .Field("query", r.query)
            .Field("authorization", r.authorization)
            .Field("time_ms", r.timeMs)
            .Field("status", r.status)
            .EndObject();
    }
    json.EndArray().EndObject();
    return Json(json);
}

SCgiReply CControlApi::SetInput(const CgiParams& params) {
    const auto number = IntParam(params, "input");
    const auto state = Param(params, "state");
    if (!number || !state || (*state != "0" && *state != "1"))
        return Error(400, "use input=<1..n>&state=<0|1>");
    if (!m_state.SetInput(static_cast<int>(*number), *state == "1")) return Error(400, "no such input");
    return Ok();
}

SCgiReply CControlApi::Io() const {
    CJsonWriter json;
    json.BeginObject().Key("inputs").BeginArray();
    for (bool active : m_state.Inputs()) json.Number(active ? 1 : 0);
    json.EndArray().Key("outputs").BeginArray();
    for (bool active : m_state.Outputs()) json.Number(active ? 1 : 0);
    json.EndArray().EndObject();
    return Json(json);
}

SCgiReply CControlApi::Ptz(const CgiParams& params) const {
    const auto channel = Channel(params);
    if (!channel) return Error(400, "no such channel");
    const SPtzSnapshot ptz = m_state.Ptz(*channel);
    CJsonWriter json;
    json.BeginObject()
        .Field("channel", *channel)
        .Field("pan", ptz.position.pan)
        .Field("tilt", ptz.position.tilt)
        .Field("zoom", ptz.position.zoom)
        .Field("focus", ptz.position.focus)
        .Field("iris", ptz.position.iris)
        .Field("auto_focus", ptz.position.autoFocus)
        .Field("last_command", ptz.lastCommand)
        .Field("commands", ptz.commandCount)
        .Key("presets")
        .BeginArray();
    for (std::size_t slot = 0; slot < ptz.presets.size(); ++slot) {
        if (!ptz.presets[slot]) continue;
        json.BeginObject().Field("number", slot + 1).Field("name", ptz.presets[slot]->name).EndObject();
    }
    json.EndArray().EndObject();
    return Json(json);
}

SCgiReply CControlApi::Video(const CgiParams& params) const {
    const auto channel = Channel(params);
    if (!channel) return Error(400, "no such channel");
    CJsonWriter json;
    json.BeginObject().Field("channel", *channel);
    WriteSettings(json, m_state.Video(*channel));
    json.EndObject();
    return Json(json);
}

SCgiReply CControlApi::Fail(const CgiParams& params) {
    const auto status = IntParam(params, "status");
    const auto count = IntParam(params, "count").value_or(1);
    const auto ms = IntParam(params, "ms");
    const std::string scopeText = Param(params, "scope").value_or("http");
    if (!status || *status < 100 || *status > 599 || count < 0 || count > 1000000 || (ms && (*ms < 0 || *ms > 600000)))
        return Error(400, "use status=<100..599>[&count=n|&ms=<0..600000>][&scope=http|rtsp|all]");
    CFaultState::EScope scope = CFaultState::EScope::Http;
    if (scopeText == "rtsp") scope = CFaultState::EScope::Rtsp;
    else if (scopeText == "all") scope = CFaultState::EScope::All;
    else if (scopeText != "http") return Error(400, "scope must be http, rtsp or all");
    if (ms)
        m_faults.ForceStatusFor(static_cast<int>(*status), static_cast<int>(*ms), scope);
    else
        m_faults.ForceStatus(static_cast<int>(*status), static_cast<int>(count), scope);
    return Ok();
}

SCgiReply CControlApi::Delay(const CgiParams& params) {
    const auto ms = IntParam(params, "ms");
    const auto count = IntParam(params, "count").value_or(1);
    if (!ms || *ms < 0 || *ms > 60000 || count < 0 || count > 1000000)
        return Error(400, "use ms=<0..60000>[&count=n]");
    m_faults.DelayNext(static_cast<int>(*ms), static_cast<int>(count));
    return Ok();
}

SCgiReply CControlApi::RtspHold(const CgiParams& params) {
    const auto ms = IntParam(params, "ms");
    const auto count = IntParam(params, "count").value_or(1);
    const std::string method = Param(params, "method").value_or("");
    static constexpr const char* kMethods[] = {"OPTIONS", "DESCRIBE", "SETUP", "PLAY", "PAUSE",
                                               "TEARDOWN", "GET_PARAMETER", "SET_PARAMETER"};
    const bool knownMethod =
        method.empty() || std::find(std::begin(kMethods), std::end(kMethods), method) != std::end(kMethods);
    if (!ms || *ms < 0 || *ms > 60000 || count < 0 || count > 1000000 || !knownMethod)
        return Error(400, "use ms=<0..60000, 0 = until released>[&count=n][&method=DESCRIBE|SETUP|PLAY|...]");
    m_faults.HoldRtspNext(static_cast<int>(*ms), static_cast<int>(count), method);
    return Ok();
}

SCgiReply CControlApi::RtpFaults(const CgiParams& params) {
    SRtpImpairment impairment;
    const auto loss = IntParam(params, "loss").value_or(0);
    const auto reorder = IntParam(params, "reorder").value_or(0);
    const auto duplicate = IntParam(params, "duplicate").value_or(0);
    const auto seed = IntParam(params, "seed").value_or(1);
    const auto percent = [](long long value) { return value >= 0 && value <= 100; };
    if (!percent(loss) || !percent(reorder) || !percent(duplicate) || seed < 0 || seed > 0xFFFFFFFFLL)
        return Error(400, "use [loss=<0..100>][&reorder=<0..100>][&duplicate=<0..100>][&seed=n] (percent)");
    impairment.lossPercent = static_cast<int>(loss);
    impairment.reorderPercent = static_cast<int>(reorder);
    impairment.duplicatePercent = static_cast<int>(duplicate);
    impairment.seed = static_cast<std::uint32_t>(seed);
    m_faults.Rtp().Set(impairment);
    return Ok();
}

SCgiReply CControlApi::Reset() {
    m_faults.Reset();
    if (m_actions.setRtspRefused) m_actions.setRtspRefused(false);
    m_actions.setReachable(true);
    m_actions.setUdpAllowed(true);
    m_actions.dropAll();
    m_state.Reset();
    m_log.Clear();
    return Ok();
}

}  // namespace camsim
