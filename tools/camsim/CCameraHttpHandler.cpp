#include "CCameraHttpHandler.h"

#include <chrono>
#include <thread>

#include "CHttpMediaStream.h"

namespace camsim {
namespace {

constexpr auto kStreamPollInterval = std::chrono::milliseconds(200);

void SetText(httplib::Response& response, int status, const std::string& body) {
    response.status = status;
    response.set_content(body, "text/plain");
}

std::string QueryOf(const std::string& target) {
    const auto mark = target.find('?');
    return mark == std::string::npos ? std::string() : target.substr(mark + 1);
}

}  // namespace

CCameraHttpHandler::CCameraHttpHandler(CCameraState& state, CCgiPages& pages, CControlApi& control,
                                       CEncoderHub& encoders, CFaultState& faults, CRequestLog& log)
    : m_state(state),
      m_pages(pages),
      m_control(control),
      m_encoders(encoders),
      m_faults(faults),
      m_log(log),
      m_auth(state.Options().httpAuth, state.Options().user, state.Options().password, state.Options().realm) {}

void CCameraHttpHandler::Handle(const httplib::Request& request, httplib::Response& response) {
    if (CControlApi::IsControlPath(request.path)) {
        const SCgiReply reply = m_control.Handle(request.path, request.params);
        response.status = reply.status;
        response.set_content(reply.body, "application/json");
        return;
    }
    SLoggedRequest entry;
    entry.protocol = "http";
    entry.method = request.method;
    entry.path = request.path;
    entry.query = QueryOf(request.target);
    entry.authorization = request.get_header_value("Authorization");
    entry.status = Serve(request, response);
    m_log.Add(std::move(entry));
}

int CCameraHttpHandler::Serve(const httplib::Request& request, httplib::Response& response) {
    if (const int delayMs = m_faults.TakeDelayMs(); delayMs > 0) m_faults.WaitDelay(delayMs);
    if (const auto forced = m_faults.TakeForcedStatus(CFaultState::EScope::Http)) {
        SetText(response, *forced, "Error=forced by test<br>");
        return *forced;
    }
    if (request.method != "GET" && request.method != "HEAD") {
        response.set_header("Allow", "GET, HEAD");
        SetText(response, 405, "Error=method not allowed<br>");
        return 405;
    }
    const auto verdict = m_auth.Check(request.method, request.target, request.get_header_value("Authorization"));
    if (verdict.verdict == CHttpAuthenticator::EVerdict::BadRequest) {
        SetText(response, 400, "Error=malformed credentials<br>");
        return 400;
    }
    if (verdict.verdict == CHttpAuthenticator::EVerdict::Challenge) {
        response.set_header("WWW-Authenticate", verdict.challenge);
        SetText(response, 401, "Error=unauthorized<br>");
        return 401;
    }
    if (request.path == "/GetStream.cgi") return ServeStream(request, response);
    const auto reply = m_pages.Handle(request.path, request.params);
    if (!reply) {
        SetText(response, 404, "Error=not found<br>");
        return 404;
    }
    SetText(response, reply->status, reply->body);
    return reply->status;
}

int CCameraHttpHandler::ServeStream(const httplib::Request& request, httplib::Response& response) {
    int channel = 0;
    if (request.has_param("CH")) {
        const auto number = ParseInteger(request.get_param_value("CH"));
        if (!number || *number < 0 || *number >= m_state.Channels()) {
            SetText(response, 400, "Error=no such channel<br>");
            return 400;
        }
        channel = static_cast<int>(*number);
    }
    if (request.get_param_value("Video") != "0") {
        SetText(response, 400, "Error=Video=0 is the only stream<br>");
        return 400;
    }
    const SVideoSettings settings = m_state.Video(channel);
    if (settings.codec == ECodec::H264) {
        // The cameras send H.264 only over RTSP.
        SetText(response, 400, "Error=channel is set to h264, which streams over RTSP only<br>");
        return 400;
    }
    std::string error;
    auto encoder = m_encoders.Acquire(channel, settings, error);
    if (!encoder) {
        SetText(response, 503, "Error=" + error + "<br>");
        return 503;
    }
    const std::uint64_t generation = m_faults.DropGeneration();
    auto stream = std::make_shared<CHttpMediaStream>(encoder, [this, generation] {
        return m_serving.load() && m_faults.DropGeneration() == generation;
    });
    response.status = 200;
    response.set_header("Cache-Control", "no-cache");
    response.set_content_provider(stream->ContentType(), [stream](std::size_t, httplib::DataSink& sink) {
        const auto chunk = stream->NextChunk(kStreamPollInterval);
        if (!chunk) return false;  // dropped or shutting down: close the connection
        return chunk->empty() || sink.write(chunk->data(), chunk->size());
    });
    return 200;
}

}  // namespace camsim
