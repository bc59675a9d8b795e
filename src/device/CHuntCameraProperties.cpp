#include "device/CHuntCameraProperties.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/FormatString.h"
#include "base/TextUtils.h"
#include "device/HuntModelTables.h"
#include "http/HUtils.h"
#include "http/ReplyLookups.h"

namespace talvex {

namespace {

constexpr const char* kVendor = "Hunt / Asoni";

std::string Lookup(const char* name, const std::string& page) { return HUtils::GetValue(name, page, "=", "<br>"); }

std::vector<std::string> LookupList(const char* name, const std::string& page) {
    return HUtils::GetValueList(name, page, ",", "<br>", "=");
}

// atoi's reading: leading blanks, a sign, then as many digits as there are;
// no digits read as 0. A number beyond the 32-bit range reads as 0 too, so
// that a garbled value counts as missing instead of wrapping into a
// plausible one.
int32_t AtoI(const std::string& text) {
    std::size_t pos = text.find_first_not_of(" \t");
    if (pos == std::string::npos) return 0;
    bool negative = false;
    if (text[pos] == '+' || text[pos] == '-') negative = text[pos++] == '-';
    int64_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > INT32_MAX) return 0;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

// StringToInt's reading, where only a count makes sense: a negative number is
// no count and reads as 0 like a missing one.
uint32_t CountOf(const std::string& text) {
    int value = 0;
    HUtils::StringToInt(text, value);
    return value > 0 ? static_cast<uint32_t>(value) : 0u;
}

// One picture-size number: up to 65535, since the host takes sizes as 16-bit
// values and a larger one cut to 16 bits would name a size the camera does
// not have.
bool ReadSizeNumber(const std::string& text, std::size_t& pos, uint16_t& out) {
    uint32_t value = 0;
    const std::size_t start = pos;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + static_cast<uint32_t>(text[pos] - '0');
        if (value > UINT16_MAX) return false;
    }
    if (pos == start) return false;
    out = static_cast<uint16_t>(value);
    return true;
}

// "WxH", as "%ux%u" reads it (leading blanks allowed, anything after the
// height ignored), but without a sign or a value beyond 16 bits.
bool ReadSize(const std::string& item, uint16_t& width, uint16_t& height) {
    std::size_t pos = item.find_first_not_of(" \t");
    if (pos == std::string::npos || !ReadSizeNumber(item, pos, width)) return false;
    if (pos >= item.size() || item[pos] != 'x') return false;
    ++pos;
    return ReadSizeNumber(item, pos, height);
}

}  // namespace

CHuntCameraProperties::CHuntCameraProperties(const DEVICE_INFO& device, uint32_t context)
    : CBaseCameraProperties(device, context), Sender(device) {}

void CHuntCameraProperties::Abort() { Sender.AbortRead(); }

bool CHuntCameraProperties::ReadPage(const std::string& path, std::string& page) {
    page.clear();
    if (path.empty() || StopRequested()) return false;
    std::vector<uint8_t> body;
    if (!HUtils::RequestGetBody(path, body, Sender)) return false;
    // The lookups read the page as a text: it ends at its first zero byte.
    const auto end = std::find(body.begin(), body.end(), uint8_t{0});
    page.assign(body.begin(), end);
    return !page.empty();
}

bool CHuntCameraProperties::Query(uint32_t& reason) {
    std::string page;
    bool ok = ReadPage("/GetMultimedia.cgi?CH=0", page) && ReadMediaPage(page);
    ok = ok && QueryTypePage() && QueryPtzPages() && QueryNetworkPage();
    if (!ok) {
        reason = Sender.StatusCode() == 401 ? kReasonLoginFailed : kReasonFailed;
        return false;
    }
    MacAddress = ReadPage("/GetMAC.cgi", page) ? Lookup("LMAC_address", page) : std::string();
    Firmware = ReadPage("/GetVer.cgi", page) ? Lookup("Version", page) : std::string();
    return true;
}

bool CHuntCameraProperties::ReadMediaPage(const std::string& page) {
    const std::string format = Lookup("Format", page);
    if (format.empty()) return false;
    VideoStandard = format == "PAL" ? 0 : 1;
    ReadFrameRates(page);
    return true;
}

void CHuntCameraProperties::ReadFrameRates(const std::string& page) {
    FrameRates.clear();
    const uint32_t fpsMax = CountOf(Lookup("FpsMax", page));
    const uint32_t fpsMin = CountOf(Lookup("FpsMin", page));
    const bool otherStandard = VideoStandard == 1;
    if (fpsMin == 3 && fpsMax == 15) {
        FrameRates = {3, 4, 5, 6, 7, 8, 9, 10, 15};
    } else if (fpsMin == 3 || fpsMax == 21 || (otherStandard && fpsMax == 25)) {
        FrameRates = {3, 5, 7, 10, 12, 15, 18, 21};
        if (otherStandard) FrameRates.insert(25);
    }
    if (FrameRates.empty()) {
        FrameRates = {5, 10, 15, 20, 25};
        if (otherStandard) FrameRates.insert(30);
    }
    if (fpsMin != 0) FrameRates.insert(fpsMin);
    if (fpsMax != 0) FrameRates.insert(fpsMax);
    MaxFrameRate = *FrameRates.rbegin();
}

bool CHuntCameraProperties::QueryTypePage() {
    std::string page;
    if (!ReadPage("/GetCameraType.cgi", page)) return false;
    if (!Identify(page) || !ReadChannelCount(page)) return false;
    ReadIoCounts(page);
    return ReadCodecs(page) && ReadResolutions(page) && ReadRtspFlag(page);
}

bool CHuntCameraProperties::Identify(const std::string& page) {
    const std::string cameraType = Lookup("CameraType", page);
    const std::string device = Lookup("Device", page);
    if (cameraType.empty() || device.empty()) return false;
    const int32_t type = AtoI(cameraType);
    if (type == 0) return false;
    const auto lowByte = static_cast<uint8_t>(static_cast<uint32_t>(type) & 0xFFu);
    const char* model = nullptr;
    if (lowByte == HuntModels::kDeviceNumberFamilyAB || lowByte == HuntModels::kDeviceNumberFamilyBA) {
        const int32_t number = AtoI(device);
        if (number == 0) return false;
        model = HuntModels::ModelOfDeviceNumber(number);
    } else {
        model = HuntModels::ModelOfCameraType(lowByte);
    }
    if (model == nullptr) return false;
    Vendor = kVendor;
    Model = model;
    return true;
}

bool CHuntCameraProperties::ReadChannelCount(const std::string& page) {
    // This model reports the channels of the server it was derived from.
    if (HUtils::ToLower(Model) == "hlc_79m") {
        ChannelCount = 1;
        return true;
    }
    ChannelCount = CountOf(Lookup("VideoNum", page));
    if (ChannelCount == 0) return false;
    const std::string audio = Lookup("AudioNum", page);
    if (audio.empty()) {
        ChannelCount = 1;
    } else {
        const uint32_t audioCount = CountOf(audio);
        if (audioCount != 0 && audioCount < ChannelCount) ChannelCount = audioCount;
    }
    return ChannelCount > 0;
}

void CHuntCameraProperties::ReadIoCounts(const std::string& page) {
    InputCount = 0;
    OutputCount = 0;
    const int32_t inputs = AtoI(Lookup("IO_InputNum", page));
    const int32_t outputs = AtoI(Lookup("IO_OutputNum", page));
    if (inputs > 0) InputCount = static_cast<uint32_t>(inputs);
    if (outputs > 0) OutputCount = static_cast<uint32_t>(outputs);
}

bool CHuntCameraProperties::ReadCodecs(const std::string& page) {
    std::vector<std::string> names = LookupList("CodecType1", page);
    if (names.empty()) names = LookupList("CodecType", page);
    Codecs.clear();
    for (const std::string& name : names) {
        const std::string lower = HUtils::ToLower(name);
        if (lower == "h264")
            Codecs.insert(kCodecH264);
        else if (lower == "mpeg4")
            Codecs.insert(kCodecMpeg4);
        else if (lower == "mjpeg")
            Codecs.insert(kCodecMjpeg);
    }
    return !Codecs.empty();
}

bool CHuntCameraProperties::ReadResolutions(const std::string& page) {
    std::vector<std::string> items = LookupList("Resolution1", page);
    if (items.empty()) items = LookupList("Resolution", page);
    Resolutions.clear();
    if (items.empty() || FrameRates.empty()) return false;
    const uint32_t interval = FrameIntervalMs(*FrameRates.rbegin());
    for (const std::string& item : items) {
        SResolution entry;
        if (!ReadSize(item, entry.Width, entry.Height)) continue;
        if (entry.Width == 0 || entry.Height == 0) continue;
        entry.FrameIntervalMs = interval;
        auto same = std::find_if(Resolutions.begin(), Resolutions.end(), [&](const SResolution& known) {
            return known.Width == entry.Width && known.Height == entry.Height;
        });
        if (same == Resolutions.end())
            Resolutions.push_back(entry);
        else if (interval != 0 && interval < same->FrameIntervalMs)
            same->FrameIntervalMs = interval;
    }
    return !Resolutions.empty();
}

bool CHuntCameraProperties::ReadRtspFlag(const std::string& page) {
    const std::string rtsp = Lookup("Rtsp", page);
    if (rtsp.empty()) return false;
    RtspSupported = AtoI(rtsp) != 0;
    return true;
}

bool CHuntCameraProperties::QueryPtzPages() {
    std::string page;
    for (uint32_t channel = 0; channel < ChannelCount; ++channel) {
        std::string path = "/GetPTZ.cgi";
        if (ChannelCount > 1) path += FormatString("?CH=%u", static_cast<unsigned>(channel));
        if (!ReadPage(path, page)) return false;
        ReadPtzPage(page);
    }
    return true;
}

void CHuntCameraProperties::ReadPtzPage(const std::string& page) {
    if (AtoI(Lookup("PTZModel", page)) == 0) return;
    PtzSupported = true;
    PresetCount = CountPresets(page);
}

uint32_t CHuntCameraProperties::CountPresets(const std::string& page) {
    std::size_t at = page.find("PName00=");
    if (at == std::string::npos) return 0;
    uint32_t count = 1;
    for (uint32_t n = 1;; ++n) {
        at = page.find(FormatString("PName%.2u=", static_cast<unsigned>(n)), at);
        if (at == std::string::npos) return count;
        ++count;
    }
}

bool CHuntCameraProperties::QueryNetworkPage() {
    if (!RtspSupported) return true;
    std::string page;
    if (!ReadPage("/GetNetwork.cgi", page)) return false;
    ReadNetworkPage(page);
    return true;
}

void CHuntCameraProperties::ReadNetworkPage(const std::string& page) {
    const int32_t port = AtoI(Lookup("Rtsp_Port", page));
    if (port > 0) RtspPort = static_cast<uint32_t>(port);
    std::string path = Lookup("Path_Live1", page);
    if (path.empty()) path = Lookup("Path_Live", page);
    if (!path.empty()) RtspPath = path;
}

bool CHuntCameraProperties::AddCustomProperties(ipcapture::IHostCapabilitySink& sink) {
    const auto number = [](uint32_t value) { return FormatString("%u", static_cast<unsigned>(value)); };
    AddProperty(sink, 1, "Video standard", 0, number(VideoStandard == 0 ? 0 : 1));
    AddProperty(sink, 2, "RTSP support", 0, RtspSupported ? "1" : "0");
    AddProperty(sink, 3, "RTSP port", 0, number(RtspPort));
    AddProperty(sink, 4, "RTSP path", 0, RtspPath);
    AddProperty(sink, 5, "Preset count", 0, number(PresetCount));
    AddProperty(sink, 6, "Mac address", 0, MacAddress);
    AddProperty(sink, 7, "Firmware", 0, Firmware);
    return true;
}

}  // namespace talvex
