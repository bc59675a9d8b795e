#include "CCgiPages.h"

#include "CPtzCommand.h"

#include <algorithm>
#include <cstdio>

namespace camsim {
namespace {

constexpr const char* kOkBody = "Result=OK<br>";

class CRecords {
public:
    template <typename T>
    CRecords& Add(const std::string& name, const T& value) {
        if constexpr (std::is_arithmetic_v<T>) m_body += name + "=" + std::to_string(value) + "<br>";
        else m_body += name + "=" + std::string(value) + "<br>";
        return *this;
    }
    SCgiReply Reply() const { return SCgiReply{200, m_body}; }

private:
    std::string m_body;
};

SCgiReply BadRequest(const std::string& reason) { return SCgiReply{400, "Error=" + reason + "<br>"}; }

std::optional<std::string> Param(const CgiParams& params, const std::string& name) {
    const auto it = params.find(name);
    if (it == params.end()) return std::nullopt;
    return it->second;
}

std::string JoinCodecs(const std::vector<ECodec>& codecs) {
    std::string text;
    for (ECodec codec : codecs) text += std::string(CodecName(codec)) + ",";
    return text;
}

std::string JoinSizes(const std::vector<SPictureSize>& sizes) {
    std::string text;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        if (i) text += ",";
        text += std::to_string(sizes[i].width) + "x" + std::to_string(sizes[i].height);
    }
    return text;
}

std::string SizeText(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

// Reads an optional integer parameter into out; false only when it is present but not a number
// within [low, high].
bool ReadInt(const CgiParams& params, const std::string& name, long long low, long long high, int& out) {
    const auto text = Param(params, name);
    if (!text) return true;
    const auto value = ParseInteger(*text);
    if (!value || *value < low || *value > high) return false;
    out = static_cast<int>(*value);
    return true;
}

}  // namespace

CCgiPages::CCgiPages(CCameraState& state, std::function<int()> rtspPort)
    : m_state(state), m_rtspPort(std::move(rtspPort)) {}

std::string CCgiPages::LivePath(int channel) { return "/live" + std::to_string(channel + 1); }

std::optional<SCgiReply> CCgiPages::Handle(const std::string& path, const CgiParams& params) const {
    if (path == "/GetCameraType.cgi") return GetCameraType();
    if (path == "/GetMultimedia.cgi") return GetMultimedia(params);
    if (path == "/SetMultimedia.cgi") return SetMultimedia(params);
    if (path == "/GetPTZ.cgi") return GetPtz(params);
    if (path == "/SetPTZ.cgi") return SetPtz(params);
    if (path == "/GetMAC.cgi") return GetMac();
    if (path == "/GetVer.cgi") return GetVersion();
    if (path == "/GetNetwork.cgi") return GetNetwork();
    if (path == "/GetGPIO.cgi") return GetGpio();
    if (path == "/SetGPIO.cgi") return SetGpio(params);
    return std::nullopt;
}

std::optional<int> CCgiPages::Channel(const CgiParams& params) const {
    const auto text = Param(params, "CH");
    if (!text) return 0;
    const auto channel = ParseInteger(*text);
    if (!channel || *channel < 0 || *channel >= m_state.Channels()) return std::nullopt;
    return static_cast<int>(*channel);
}

SCgiReply CCgiPages::GetCameraType() const {
    const SCamSimOptions& o = m_state.Options();
    CRecords records;
    records.Add("CameraType", o.cameraType)
        .Add("Device", o.device)
        .Add("VideoNum", o.channels)
        .Add("AudioNum", o.audioNum)
        .Add("IO_InputNum", o.inputs)
        .Add("IO_OutputNum", o.outputs)
        .Add("CodecType", JoinCodecs(o.codecs))
        .Add("Resolution", JoinSizes(o.resolutions));
    for (int channel = 1; channel <= o.channels; ++channel) {
        records.Add("CodecType" + std::to_string(channel), JoinCodecs(o.codecs))
            .Add("Resolution" + std::to_string(channel), JoinSizes(o.resolutions));
    }
    // Readers look names up by their tail, so no record before this one may end in "Rtsp".
    records.Add("Rtsp", o.rtspSupported ? 1 : 0);
    return records.Reply();
}

SCgiReply CCgiPages::GetMultimedia(const CgiParams& params) const {
    const auto channel = Channel(params);
    if (!channel) return BadRequest("no such channel");
    const SCamSimOptions& o = m_state.Options();
    const SVideoSettings video = m_state.Video(*channel);
    CRecords records;
    records.Add("Format", o.pal ? "PAL" : "NTSC")
        .Add("FpsMax", o.fpsMax)
        .Add("FpsMin", o.fpsMin)
        .Add("Compression_Type", 1)
        .Add("Mode", CodecName(video.codec))
        .Add("Video_Size", SizeText(video.width, video.height))
        .Add("Fps", video.fps)
        .Add("VBR", video.vbr)
        .Add("Jpeg_Quality", video.jpegQuality);
    return records.Reply();
}

// Applies all of codec, size, frame rate and quality, or none of them when one is unusable.
SCgiReply CCgiPages::SetMultimedia(const CgiParams& params) const {
    const auto channel = Channel(params);
    if (!channel) return BadRequest("no such channel");
    const SCamSimOptions& o = m_state.Options();
    SVideoSettings video = m_state.Video(*channel);

    if (const auto mode = Param(params, "Mode")) {
        const auto codec = ParseCodec(*mode);
        if (!codec || std::find(o.codecs.begin(), o.codecs.end(), *codec) == o.codecs.end())
            return BadRequest("unsupported Mode");
        video.codec = *codec;
    }
    if (const auto sizeText = Param(params, "Video_Size")) {
        const auto size = ParsePictureSize(*sizeText);
        if (!size || !IsEncodableSize(size->width, size->height)) return BadRequest("unsupported Video_Size");
        video.width = size->width;
        video.height = size->height;
    }
    int compression = 1;
    int fps = video.fps;
    int jpegQuality = video.jpegQuality;
    if (!ReadInt(params, "Compression_Type", 0, 16, compression)) return BadRequest("bad Compression_Type");
    if (!ReadInt(params, "Fps", 1, 1000, fps)) return BadRequest("bad Fps");
    if (!ReadInt(params, "VBR", 1, 51, video.vbr)) return BadRequest("bad VBR");
    if (!ReadInt(params, "Jpeg_Quality", 0, 100, jpegQuality)) return BadRequest("bad Jpeg_Quality");
    // Like the real firmware, rates and quality levels beyond what the sensor offers are clamped.
    video.fps = std::clamp(fps, 1, std::max(o.fpsMax, 1));
    video.jpegQuality = std::clamp(jpegQuality, 1, 5);
    m_state.SetVideo(*channel, video);
    return SCgiReply{200, kOkBody};
}

SCgiReply CCgiPages::GetPtz(const CgiParams& params) const {
    const auto channel = Channel(params);
    if (!channel) return BadRequest("no such channel");
    const SCamSimOptions& o = m_state.Options();
    const SPtzSnapshot ptz = m_state.Ptz(*channel);
    CRecords records;
    records.Add("PTZModel", o.ptzModel);
    if (o.ptzModel == 0) return records.Reply();
    records.Add("Pan", ptz.position.pan)
        .Add("Tilt", ptz.position.tilt)
        .Add("Zoom", ptz.position.zoom)
        .Add("Focus", ptz.position.focus)
        .Add("Iris", ptz.position.iris)
        .Add("FocusMode", ptz.position.autoFocus ? "auto" : "manual");
    // Every slot is listed, empty ones with an empty name, so that the record count is the capacity.
    for (std::size_t slot = 0; slot < ptz.presets.size(); ++slot) {
        char name[32];
        std::snprintf(name, sizeof name, "PName%.2zu", slot);
        records.Add(name, ptz.presets[slot] ? ptz.presets[slot]->name : std::string());
    }
    return records.Reply();
}

SCgiReply CCgiPages::SetPtz(const CgiParams& params) const {
    const auto channel = Channel(params);
    if (!channel) return BadRequest("no such channel");
    if (m_state.Options().ptzModel == 0) return BadRequest("no PTZ head");
    std::string error;
    const auto command = CPtzCommand::Parse(params, error);
    if (!command) return BadRequest(error);
    const bool applied = m_state.WithPtz(*channel, [&](CPtzHead& head) { return command->ApplyTo(head); });
    if (!applied) return BadRequest("no such preset slot");
    std::string query;
    for (const auto& [name, value] : params) {
        if (name == "CH") continue;
        query += (query.empty() ? "" : "&") + name + "=" + value;
    }
    m_state.NotePtzCommand(*channel, query);
    return SCgiReply{200, kOkBody};
}

SCgiReply CCgiPages::GetMac() const {
    return CRecords().Add("LMAC_address", m_state.Options().mac).Reply();
}

SCgiReply CCgiPages::GetVersion() const {
    return CRecords().Add("Version", m_state.Options().firmware).Reply();
}

SCgiReply CCgiPages::GetNetwork() const {
    const SCamSimOptions& o = m_state.Options();
    CRecords records;
    records.Add("Rtsp_Port", m_rtspPort());
    if (!o.legacyNetworkPage)
        for (int channel = 0; channel < o.channels; ++channel)
            records.Add("Path_Live" + std::to_string(channel + 1), LivePath(channel));
    records.Add("Path_Live", LivePath(0));
    return records.Reply();
}

SCgiReply CCgiPages::GetGpio() const {
    CRecords records;
    const std::vector<bool> inputs = m_state.Inputs();
    const std::vector<bool> outputs = m_state.Outputs();
    for (std::size_t i = 0; i < inputs.size(); ++i)
        records.Add("Input" + std::to_string(i + 1) + "Trig", inputs[i] ? 1 : 0);
    for (std::size_t i = 0; i < outputs.size(); ++i)
        records.Add("Out" + std::to_string(i + 1) + "STA", outputs[i] ? 1 : 0);
    return records.Reply();
}

// "Out<n>STA=<0|1>" for one or more outputs; all are checked before any is switched.
SCgiReply CCgiPages::SetGpio(const CgiParams& params) const {
    std::vector<std::pair<int, bool>> changes;
    const int outputs = static_cast<int>(m_state.Outputs().size());
    for (const auto& [name, value] : params) {
        if (name.size() < 6 || name.compare(0, 3, "Out") != 0 || name.compare(name.size() - 3, 3, "STA") != 0)
            continue;
        const auto number = ParseInteger(std::string_view(name).substr(3, name.size() - 6));
        if (!number || *number < 1 || *number > outputs) return BadRequest("no such output " + name);
        if (value != "0" && value != "1") return BadRequest("output state must be 0 or 1");
        changes.emplace_back(static_cast<int>(*number), value == "1");
    }
    if (changes.empty()) return BadRequest("no output given");
    for (const auto& [number, active] : changes) m_state.SetOutput(number, active);
    return SCgiReply{200, kOkBody};
}

}  // namespace camsim
