#include "ptz/CHuntPTZComm.h"

#include <vector>

#include "base/FormatString.h"
#include "http/HUtils.h"
#include "http/ReplyLookups.h"

namespace talvex {

namespace {

constexpr unsigned int kParamPresetCount = 5;

// Camera speed term of straight moves and zoom: host speeds 1..16 map onto
// the camera's 2..9.
int PanSpeed(int32_t speed) { return 2 - static_cast<int>((speed - 1) * -7.0 / 15.0); }

// Step of the diagonal moves: host speeds 1..16 map onto 0..50.
int DiagonalStep(int32_t speed) { return static_cast<int>((speed - 1) * 50.0 / 15.0); }

DEVICE_INFO DeviceOf(IDriver* driver) { return driver != nullptr ? driver->GetDeviceInfo() : DEVICE_INFO(); }

}  // namespace

CHuntPTZComm::CHuntPTZComm(IDriver* driver, uint16_t channel)
    : CBasePTZComm(driver, channel), m_sender(std::make_unique<Web::CHttpSender>(DeviceOf(driver))) {
    m_sender->SetLog(driver);
}

CHuntPTZComm::~CHuntPTZComm() {
    // The worker uses the sender: stop it while the sender still exists.
    Shutdown();
}

bool CHuntPTZComm::Open() {
    const int32_t count = Driver() != nullptr ? Driver()->GetCustomParamInt(kParamPresetCount) : 0;
    SetPresetCapacity(count > 0 ? static_cast<uint32_t>(count) : 0);
    return CBasePTZComm::Open();
}

void CHuntPTZComm::GetCapabilities(uint8_t flags[8]) {
    static constexpr uint8_t kFlags[8] = {1, 1, 1, 1, 1, 0, 0, 0};
    for (int i = 0; i < 8; ++i) flags[i] = kFlags[i];
}

std::string CHuntPTZComm::RequestPrefix() {
    std::string prefix = "/SetPTZ.cgi?";
    if (Driver() != nullptr && Driver()->GetChannelCount() > 1)
        prefix += FormatString("CH=%u&", static_cast<unsigned>(Channel()));
    return prefix;
}

std::string CHuntPTZComm::MoveCommand(int32_t direction, int32_t speed) {
    switch (direction) {
        case kUpLeft:
        case kUpRight:
        case kDownLeft:
        case kDownRight: {
            static const char* const kDiagonals[] = {"Up860=%d&Left860=%d&Dir=GoUpLeft",
                                                     "Up860=%d&Right860=%d&Dir=GoUpRight",
                                                     "Down860=%d&Left860=%d&Dir=GoDownLeft",
                                                     "Down860=%d&Right860=%d&Dir=GoDownRight"};
            const int step = DiagonalStep(speed);
            return FormatString(kDiagonals[direction - kUpLeft], step, step);
        }
        case kLeft:
        case kRight:
        case kUp:
        case kDown:
        case kZoomIn:
        case kZoomOut: {
            static const char* const kStraight[] = {"Dir=Left", "Dir=Right", "Dir=Up", "Dir=Down"};
            const char* dir = direction == kZoomIn    ? "Dir=ZoomIn"
                              : direction == kZoomOut ? "Dir=ZoomOut"
                                                      : kStraight[direction];
            return FormatString("PTZSpeed=%d&%s", PanSpeed(speed), dir);
        }
        default:
            // Codes the host has no name for send nothing rather than a
            // speed without a direction.
            return {};
    }
}

bool CHuntPTZComm::Send(const std::string& path) {
    CLockHolder hold(m_senderLock);
    return HUtils::RequestGetNoBody(path, *m_sender);
}

void CHuntPTZComm::ProcessItem(IWorkItem* item) {
    auto* work = dynamic_cast<CWorkItem*>(item);
    if (work == nullptr) return;
    const std::string prefix = RequestPrefix();
    switch (work->code) {
        case kMove: {
            const std::string command = MoveCommand(work->first, work->value);
            if (command.empty()) return;
            // The camera leaves auto focus during manual moves unless told again.
            Send(prefix + "Dir=FocusAUTO");
            Send(prefix + command);
            return;
        }
        case kFocus:
            if (work->subCode == kFocusFar) Send(prefix + "Dir=FocusFar");
            if (work->subCode == kFocusNear) Send(prefix + "Dir=FocusNear");
            return;
        case kIris:
            if (work->subCode == kIrisOpen) Send(prefix + "Dir=IRISLarge");
            if (work->subCode == kIrisClose) Send(prefix + "Dir=IRISSmall");
            return;
        default:
            // The camera ends a move by itself: stops, area zoom, center and
            // unzoom have no request on this camera.
            return;
    }
}

bool CHuntPTZComm::SavePreset(uint32_t slot, const std::string&) {
    const unsigned number = slot + 1;
    return Send(RequestPrefix() + FormatString("PointName=%u:preset%u&Dir=Preset%u", number, number, number));
}

bool CHuntPTZComm::GotoPreset(uint32_t slot, const std::string&, int32_t) {
    return Send(RequestPrefix() + FormatString("Dir=Point%u", slot + 1));
}

bool CHuntPTZComm::RemovePreset(uint32_t slot, const std::string&) {
    const unsigned number = slot + 1;
    return Send(RequestPrefix() + FormatString("RemoveName=%u&Dir=Remove%u", number, number));
}

int32_t CHuntPTZComm::CheckPTZ(IIPParams*) {
    if (Driver() == nullptr || Driver()->GetChannelCount() <= 1) return 1;
    std::vector<uint8_t> body;
    {
        CLockHolder hold(m_senderLock);
        if (!HUtils::RequestGetBody(FormatString("/GetPTZ.cgi?CH=%u", static_cast<unsigned>(Channel())), body,
                                    *m_sender))
            return 1;
    }
    // The body ends with a zero byte added by the request.
    const std::string text(reinterpret_cast<const char*>(body.data()), body.empty() ? 0 : body.size() - 1);
    const std::string model = HUtils::GetValue("PTZModel", text, "=", "<br>");
    return model.empty() || model == "0" ? 0 : 1;
}

}  // namespace talvex
