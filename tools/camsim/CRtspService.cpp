#include "CRtspService.h"

#include "CAppSrcFeed.h"
#include "CCgiPages.h"

#include <gst/app/gstappsrc.h>

#include <cstdio>
#include <future>

namespace camsim {
namespace {

constexpr const char* kFeedKey = "wrenfield-feed";
constexpr const char* kRole = "camera-user";
constexpr guint kSessionCleanupSec = 1;
constexpr std::size_t kMaxFeedBytes = 4 * 1024 * 1024;

// Keeps a media pipeline subscribed to its encoder for as long as the media lives.
struct SMediaFeed {
    std::shared_ptr<IFrameSource> encoder;
    std::shared_ptr<CAppSrcFeed> feed;
    ~SMediaFeed() { encoder->Unsubscribe(feed.get()); }
};

// Which codec a media's pipeline was built for, read from its payloader: the channel may have
// been switched to another codec between building the pipeline and configuring it.
std::optional<ECodec> PipelineCodec(GstElement* bin) {
    GstElement* payloader = gst_bin_get_by_name_recurse_up(GST_BIN(bin), "pay0");
    if (!payloader) return std::nullopt;
    GstElementFactory* factory = gst_element_get_factory(payloader);
    const std::string name = factory ? GST_OBJECT_NAME(factory) : "";
    gst_object_unref(payloader);
    if (name == "rtph264pay") return ECodec::H264;
    if (name == "rtpjpegpay") return ECodec::Mjpeg;
    if (name == "rtpmp4vpay") return ECodec::Mpeg4;
    return std::nullopt;
}

GstRTSPFilterResult RemoveClient(GstRTSPServer*, GstRTSPClient*, gpointer) { return GST_RTSP_FILTER_REMOVE; }
GstRTSPFilterResult RemoveSession(GstRTSPSessionPool*, GstRTSPSession*, gpointer) { return GST_RTSP_FILTER_REMOVE; }

// GStreamer adds a session's client to each UDP sender with the "add" action signal when the
// session starts playing. Stopping that emission before the sender's own handler runs keeps the
// client off the sender's list: nothing is ever sent to it, not even a first packet.
void OnUdpDestinationAdded(GstElement* sender, const gchar*, gint, gpointer faults) {
    auto* state = static_cast<CFaultState*>(faults);
    if (!state->UdpDropped()) return;
    state->CountWithheldDestination();
    g_signal_stop_emission_by_name(sender, "add");
}

// Every UDP sender of a media pipeline (RTP and RTCP) is made when its stream is set up.
void OnPipelineElementAdded(GstBin*, GstBin*, GstElement* element, gpointer faults) {
    GstElementFactory* factory = gst_element_get_factory(element);
    if (!factory || g_strcmp0(GST_OBJECT_NAME(factory), "multiudpsink") != 0) return;
    g_signal_connect(element, "add", G_CALLBACK(&OnUdpDestinationAdded), faults);
}

gboolean CleanupSessions(gpointer server) {
    GstRTSPSessionPool* pool = gst_rtsp_server_get_session_pool(GST_RTSP_SERVER(server));
    gst_rtsp_session_pool_cleanup(pool);  // ends sessions whose time-out passed
    g_object_unref(pool);
    return G_SOURCE_CONTINUE;
}

}  // namespace

CRtspService::CRtspService(CCameraState& state, CEncoderHub& encoders, CFaultState& faults, CRequestLog& log)
    : m_state(state), m_encoders(encoders), m_faults(faults), m_log(log) {}

CRtspService::~CRtspService() { Stop(); }

std::string CRtspService::LaunchLine(ECodec codec) {
    const std::string source =
        "( appsrc name=feed is-live=true format=time do-timestamp=true max-bytes=" + std::to_string(kMaxFeedBytes) +
        " leaky-type=downstream ! ";
    switch (codec) {
        case ECodec::H264: return source + "rtph264pay name=pay0 pt=96 config-interval=-1 )";
        case ECodec::Mjpeg: return source + "rtpjpegpay name=pay0 pt=26 )";
        case ECodec::Mpeg4: return source + "rtpmp4vpay name=pay0 pt=96 config-interval=1 )";
    }
    return source;
}

void CRtspService::RunOnLoop(const std::function<void()>& work) {
    struct SCall {
        const std::function<void()>* work;
        std::promise<void> done;
    } call{&work, {}};
    auto finished = call.done.get_future();
    g_main_context_invoke(
        m_context,
        [](gpointer data) -> gboolean {
            auto* c = static_cast<SCall*>(data);
            (*c->work)();
            c->done.set_value();
            return G_SOURCE_REMOVE;
        },
        &call);
    finished.wait();
}

bool CRtspService::Start(int port, std::string& error) {
    m_context = g_main_context_new();
    m_loop = g_main_loop_new(m_context, FALSE);
    m_server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(m_server, "127.0.0.1");
    gst_rtsp_server_set_service(m_server, std::to_string(port).c_str());
    g_signal_connect(m_server, "client-connected", G_CALLBACK(&CRtspService::OnClientConnectedThunk), this);
    SetUpAuth();
    for (int channel = 0; channel < m_state.Channels(); ++channel) AddMount(channel);
    if (!Attach(error)) return false;
    // Later attaches (after the camera was made unreachable) must come back on the same port.
    gst_rtsp_server_set_service(m_server, std::to_string(m_port).c_str());

    m_cleanupSource = g_timeout_source_new_seconds(kSessionCleanupSec);
    g_source_set_callback(m_cleanupSource, &CleanupSessions, m_server, nullptr);
    g_source_attach(m_cleanupSource, m_context);

    m_thread = std::thread([this] {
        g_main_context_push_thread_default(m_context);
        g_main_loop_run(m_loop);
        g_main_context_pop_thread_default(m_context);
    });
    return true;
}

bool CRtspService::Attach(std::string& error) {
    GError* gerror = nullptr;
    m_listenSource = gst_rtsp_server_create_source(m_server, nullptr, &gerror);
    if (!m_listenSource) {
        error = std::string("RTSP server: ") + (gerror ? gerror->message : "cannot listen");
        if (gerror) g_error_free(gerror);
        return false;
    }
    g_source_attach(m_listenSource, m_context);
    m_port = gst_rtsp_server_get_bound_port(m_server);
    return true;
}

void CRtspService::SetUpAuth() {
    const SCamSimOptions& o = m_state.Options();
    if (o.rtspAuth == EAuthMode::None) return;
    GstRTSPAuth* auth = gst_rtsp_auth_new();
    GstRTSPToken* token = gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE, G_TYPE_STRING, kRole, nullptr);
    if (o.rtspAuth == EAuthMode::Basic) {
        gchar* basic = gst_rtsp_auth_make_basic(o.user.c_str(), o.password.c_str());
        gst_rtsp_auth_add_basic(auth, basic, token);
        g_free(basic);
        gst_rtsp_auth_set_supported_methods(auth, GST_RTSP_AUTH_BASIC);
    } else {
        gst_rtsp_auth_add_digest(auth, o.user.c_str(), o.password.c_str(), token);
        gst_rtsp_auth_set_supported_methods(auth, GST_RTSP_AUTH_DIGEST);
    }
    gst_rtsp_auth_set_realm(auth, o.realm.c_str());
    gst_rtsp_token_unref(token);
    gst_rtsp_server_set_auth(m_server, auth);
    g_object_unref(auth);
}

void CRtspService::AddMount(int channel) {
    GstRTSPMediaFactory* factory = gst_rtsp_media_factory_new();
    gst_rtsp_media_factory_set_launch(factory, LaunchLine(m_state.Video(channel).codec).c_str());
    // Each session gets its own pipeline, so a new session picks up changed settings;
    // the encoding behind it is shared anyway.
    gst_rtsp_media_factory_set_shared(factory, FALSE);
    if (m_state.Options().rtspAuth != EAuthMode::None)
        gst_rtsp_media_factory_add_role(factory, kRole, GST_RTSP_PERM_MEDIA_FACTORY_ACCESS, G_TYPE_BOOLEAN, TRUE,
                                        GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT, G_TYPE_BOOLEAN, TRUE, nullptr);
    auto context = std::make_unique<SChannelContext>(SChannelContext{this, channel, factory});
    g_signal_connect(factory, "media-configure", G_CALLBACK(&CRtspService::OnMediaConfigureThunk), context.get());
    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(m_server);
    gst_rtsp_mount_points_add_factory(mounts, CCgiPages::LivePath(channel).c_str(), factory);
    g_object_unref(mounts);
    m_channels.push_back(std::move(context));
}

void CRtspService::OnVideoChanged(int channel) {
    if (!m_server || channel < 0 || channel >= static_cast<int>(m_channels.size())) return;
    const std::string launch = LaunchLine(m_state.Video(channel).codec);
    // The factory guards its launch line itself; no need to go through the loop.
    gst_rtsp_media_factory_set_launch(m_channels[static_cast<std::size_t>(channel)]->factory, launch.c_str());
}

void CRtspService::SetUdpAllowed(bool allowed) {
    if (!m_server) return;
    const auto protocols = static_cast<GstRTSPLowerTrans>(
        allowed ? GST_RTSP_LOWER_TRANS_UDP | GST_RTSP_LOWER_TRANS_UDP_MCAST | GST_RTSP_LOWER_TRANS_TCP
                : GST_RTSP_LOWER_TRANS_TCP);
    // The factory guards its protocols itself; new media take them.
    for (const auto& context : m_channels) gst_rtsp_media_factory_set_protocols(context->factory, protocols);
}

void CRtspService::ConfigureMedia(int channel, GstRTSPMedia* media) {
    GstElement* bin = gst_rtsp_media_get_element(media);
    // The stream's UDP senders join the pipeline around the media's bin.
    if (GstObject* pipeline = gst_object_get_parent(GST_OBJECT(bin))) {
        g_signal_connect(pipeline, "deep-element-added", G_CALLBACK(&OnPipelineElementAdded), &m_faults);
        gst_object_unref(pipeline);
    }
    m_faults.Rtp().Attach(bin);
    GstElement* appsrc = gst_bin_get_by_name_recurse_up(GST_BIN(bin), "feed");
    SVideoSettings settings = m_state.Video(channel);
    if (const auto codec = PipelineCodec(bin)) settings.codec = *codec;
    gst_object_unref(bin);
    if (!appsrc) return;
    std::string error;
    auto encoder = m_encoders.AcquireSource(channel, settings, error);
    GstCaps* caps = encoder ? encoder->WaitForCaps(std::chrono::seconds(3)) : nullptr;
    if (!caps) {
        std::fprintf(stderr, "camsim: channel %d cannot stream: %s\n", channel + 1, error.c_str());
        gst_object_unref(appsrc);
        return;
    }
    gst_app_src_set_caps(GST_APP_SRC(appsrc), caps);
    gst_caps_unref(caps);
    auto* holder = new SMediaFeed{encoder, std::make_shared<CAppSrcFeed>(appsrc)};
    encoder->Subscribe(holder->feed);
    g_object_set_data_full(G_OBJECT(media), kFeedKey, holder,
                           [](gpointer data) { delete static_cast<SMediaFeed*>(data); });
    gst_object_unref(appsrc);
}

namespace {

// True unless authorization is a Digest answer whose uri parameter differs
// from requestUri.
bool DigestUriMatches(const std::string& authorization, const std::string& requestUri) {
    if (authorization.size() < 7 || g_ascii_strncasecmp(authorization.c_str(), "digest ", 7) != 0) return true;
    const std::size_t at = authorization.find("uri=\"");
    if (at == std::string::npos) return false;
    const std::size_t start = at + 5;
    const std::size_t end = authorization.find('"', start);
    if (end == std::string::npos) return false;
    return authorization.compare(start, end - start, requestUri) == 0;
}

}  // namespace

GstRTSPStatusCode CRtspService::OnRequest(GstRTSPContext* ctx) {
    SLoggedRequest entry;
    entry.protocol = "rtsp";
    GstRTSPMethod method = GST_RTSP_INVALID;
    const gchar* uri = nullptr;
    GstRTSPVersion version = GST_RTSP_VERSION_INVALID;
    if (ctx->request && gst_rtsp_message_parse_request(ctx->request, &method, &uri, &version) == GST_RTSP_OK) {
        entry.method = gst_rtsp_method_as_text(method);
        entry.path = uri ? uri : "";
    }
    gchar* authorization = nullptr;
    if (ctx->request &&
        gst_rtsp_message_get_header(ctx->request, GST_RTSP_HDR_AUTHORIZATION, &authorization, 0) == GST_RTSP_OK)
        entry.authorization = authorization;  // owned by the message
    // A stalled answer: the request was read, its answer comes late. Holding it here keeps
    // GStreamer's own handling untouched (nothing is refused), it merely starts later.
    if (const auto holdMs = m_faults.TakeRtspHold(entry.method)) m_faults.WaitRtspHold(*holdMs);
    // GStreamer 1.22 frees a message it does not own when an OPTIONS hook refuses the request,
    // so forced answers start with the first request after OPTIONS.
    const auto forced = method == GST_RTSP_OPTIONS ? std::nullopt : m_faults.TakeForcedStatus(CFaultState::EScope::Rtsp);
    entry.status = forced.value_or(0);
    // GStreamer checks the response against the uri the client names, not
    // against the request line; a strict camera compares the two.
    const bool uriMismatch = m_state.Options().rtspStrictDigestUri && method != GST_RTSP_OPTIONS &&
                             !forced && !DigestUriMatches(entry.authorization, entry.path);
    if (uriMismatch) entry.status = GST_RTSP_STS_UNAUTHORIZED;
    m_log.Add(std::move(entry));
    if (uriMismatch) return GST_RTSP_STS_UNAUTHORIZED;
    return forced ? static_cast<GstRTSPStatusCode>(*forced) : GST_RTSP_STS_OK;
}

void CRtspService::DropAll() {
    if (!m_server) return;
    // A held request must have moved on before its client is closed under it.
    m_faults.ReleaseRtspHolds(std::chrono::seconds(2));
    RunOnLoop([this] {
        gst_rtsp_server_client_filter(m_server, &RemoveClient, nullptr);
        GstRTSPSessionPool* pool = gst_rtsp_server_get_session_pool(m_server);
        GList* kept = gst_rtsp_session_pool_filter(pool, &RemoveSession, nullptr);
        g_list_free_full(kept, g_object_unref);
        g_object_unref(pool);
    });
}

void CRtspService::SetListening(bool listening) {
    if (!m_server) return;
    RunOnLoop([this, listening] {
        if (!listening && m_listenSource) {
            g_source_destroy(m_listenSource);
            g_source_unref(m_listenSource);
            m_listenSource = nullptr;
        } else if (listening && !m_listenSource) {
            std::string error;
            if (!Attach(error)) std::fprintf(stderr, "camsim: %s\n", error.c_str());
        }
    });
}

void CRtspService::Stop() {
    if (!m_loop) return;
    if (m_thread.joinable()) {
        DropAll();
        g_main_loop_quit(m_loop);
        m_thread.join();
    }
    if (m_listenSource) {
        g_source_destroy(m_listenSource);
        g_source_unref(m_listenSource);
        m_listenSource = nullptr;
    }
    if (m_cleanupSource) {
        g_source_destroy(m_cleanupSource);
        g_source_unref(m_cleanupSource);
        m_cleanupSource = nullptr;
    }
    if (m_server) g_object_unref(m_server);
    m_server = nullptr;
    g_main_loop_unref(m_loop);
    m_loop = nullptr;
    g_main_context_unref(m_context);
    m_context = nullptr;
}

void CRtspService::OnMediaConfigureThunk(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer context) {
    auto* channel = static_cast<SChannelContext*>(context);
    channel->service->ConfigureMedia(channel->channel, media);
}

void CRtspService::OnClientConnectedThunk(GstRTSPServer*, GstRTSPClient* client, gpointer self) {
    for (const char* signal : {"pre-options-request", "pre-describe-request", "pre-setup-request",
                               "pre-play-request", "pre-pause-request", "pre-teardown-request",
                               "pre-get-parameter-request", "pre-set-parameter-request"})
        g_signal_connect(client, signal, G_CALLBACK(&CRtspService::OnRequestThunk), self);
    g_signal_connect(client, "new-session", G_CALLBACK(&CRtspService::OnNewSessionThunk), self);
}

void CRtspService::OnNewSessionThunk(GstRTSPClient*, GstRTSPSession* session, gpointer self) {
    gst_rtsp_session_set_timeout(session, static_cast<guint>(static_cast<CRtspService*>(self)->m_state.Options().sessionTimeoutSec));
}

GstRTSPStatusCode CRtspService::OnRequestThunk(GstRTSPClient*, GstRTSPContext* ctx, gpointer self) {
    return static_cast<CRtspService*>(self)->OnRequest(ctx);
}

}  // namespace camsim
