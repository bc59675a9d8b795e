#include "CPtzCommand.h"

#include <chrono>
#include <thread>

#include "wrenfield/PTZ.h"

namespace wfhost {

namespace {

const char* const kDirections[] = {"left",    "right",    "up",        "down",
                                   "up-left", "up-right", "down-left", "down-right"};

int32_t DirectionCode(const std::string& word) {
    for (int32_t code = 0; code < 8; ++code)
        if (word == kDirections[code]) return code;
    return -1;
}

bool ParseSpeed(const std::vector<std::string>& words, std::size_t at, int32_t& speed, std::string& error) {
    if (words.size() <= at) return true;
    const auto number = CArguments::Number(words[at]);
    if (!number || *number < 1 || *number > 16 || *number != static_cast<int32_t>(*number)) {
        error = "speed \"" + words[at] + "\" is not a number from 1 to 16";
        return false;
    }
    speed = static_cast<int32_t>(*number);
    return words.size() == at + 1 || (error = "too many words after the speed", false);
}

}  // namespace

bool CPtzCommand::ParseAction(const std::vector<std::string>& words, SPtzAction& action, std::string& error) {
    if (words.empty()) {
        error = "ptz needs an action: move, zoom, focus, iris, stop or preset";
        return false;
    }
    action.verb = words[0];
    action.what = words.size() > 1 ? words[1] : "";
    if (action.verb == "stop") return words.size() == 1 || (error = "stop takes nothing more", false);
    if (action.verb == "move") {
        action.code = DirectionCode(action.what);
        if (action.code < 0) {
            error = "move needs a direction: left, right, up, down, up-left, up-right, down-left or down-right";
            return false;
        }
        return ParseSpeed(words, 2, action.speed, error);
    }
    const struct {
        const char* verb;
        const char* first;
        const char* second;
    } kPairs[] = {{"zoom", "in", "out"}, {"focus", "near", "far"}, {"iris", "open", "close"}};
    for (const auto& pair : kPairs) {
        if (action.verb != pair.verb) continue;
        if (action.what != pair.first && action.what != pair.second) {
            error = action.verb + " needs " + pair.first + " or " + pair.second;
            return false;
        }
        return ParseSpeed(words, 2, action.speed, error);
    }
    if (action.verb == "preset") {
        if (action.what == "list") return words.size() == 2 || (error = "preset list takes nothing more", false);
        if (action.what != "add" && action.what != "goto" && action.what != "remove") {
            error = "preset needs add, goto, remove or list";
            return false;
        }
        if (words.size() != 3 || words[2].empty()) {
            error = "preset " + action.what + " needs one NAME";
            return false;
        }
        action.name = words[2];
        return true;
    }
    error = "unknown ptz action \"" + action.verb + "\" (move, zoom, focus, iris, stop, preset)";
    return false;
}

std::string CPtzCommand::ResultText(int32_t result) {
    using namespace talvex::ipcapture;
    switch (result) {
        case kPtzOk: return "ok";
        case kPtzBadArgument: return "refused: bad argument";
        case kPtzNotPosted: return "refused: the camera's PTZ control is not running";
        case kPtzPresetRefused: return "refused: no such preset";
        case kPtzPresetsFull: return "refused: every preset slot is taken";
        default: return "failed (code " + std::to_string(result) + ")";
    }
}

int32_t CPtzCommand::Continuous(talvex::ipcapture::IIPPTZApiEx& ptz, int32_t started) {
    if (started != talvex::ipcapture::kPtzOk) return started;
    std::this_thread::sleep_for(std::chrono::milliseconds(m_durationMs));
    const int32_t stopped = ptz.Stop();
    // The stop is posted to the control's worker; let it reach the camera before the driver closes.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return stopped;
}

int32_t CPtzCommand::Perform(talvex::ipcapture::IIPPTZApiEx& ptz, const SPtzAction& action, FILE* out) {
    const bool first = action.what == "in" || action.what == "near" || action.what == "open";
    if (action.verb == "stop") return Continuous(ptz, talvex::ipcapture::kPtzOk);
    if (action.verb == "move") return Continuous(ptz, ptz.Move(action.code, action.speed));
    if (action.verb == "zoom")
        return Continuous(ptz, first ? ptz.ZoomIn(action.speed) : ptz.ZoomOut(action.speed));
    if (action.verb == "focus")
        return Continuous(ptz, first ? ptz.FocusNear(action.speed) : ptz.FocusFar(action.speed));
    if (action.verb == "iris")
        return Continuous(ptz, first ? ptz.IrisOpen(action.speed) : ptz.IrisClose(action.speed));
    if (action.what == "add") return ptz.AddPreset(action.name.c_str());
    if (action.what == "goto") return ptz.GotoPreset(0, action.name.c_str());
    if (action.what == "remove") return ptz.RemovePreset(action.name.c_str());
    const int32_t count = ptz.GetPresetCount();
    std::fprintf(out, "%d preset(s)\n", count > 0 ? count : 0);
    for (int32_t index = 0; index < count; ++index) {
        char name[256] = {};
        if (ptz.GetPresetName(index, name, sizeof(name)) == talvex::ipcapture::kPtzOk)
            std::fprintf(out, "  %d: %s\n", index, name);
    }
    return talvex::ipcapture::kPtzOk;
}

int CPtzCommand::Run(SCamera camera, const SPtzAction& action, FILE* out, bool probe) {
    std::string error;
    if (!m_session.OpenForControl(camera, probe, error)) {
        std::fprintf(stderr, "wrenfield-host: %s\n", error.c_str());
        return 1;
    }
    talvex::ipcapture::IIPPTZDriverEx* driver = m_session.Driver()->GetPTZDriverEx();
    talvex::ipcapture::IIPPTZApiEx* ptz = driver != nullptr ? driver->GetPTZApiEx(m_channel) : nullptr;
    if (ptz == nullptr) {
        m_session.Close();
        std::fprintf(stderr, "wrenfield-host: input %u has no PTZ control\n", m_channel);
        return 1;
    }
    const int32_t result = Perform(*ptz, action, out);
    m_session.Close();
    const std::string line = "ptz " + action.verb + (action.what.empty() ? "" : " " + action.what) +
                             (action.name.empty() ? "" : " \"" + action.name + "\"") + ": " + ResultText(result);
    std::fprintf(result == talvex::ipcapture::kPtzOk ? out : stderr, "%s%s\n",
                 result == talvex::ipcapture::kPtzOk ? "" : "wrenfield-host: ", line.c_str());
    return result == talvex::ipcapture::kPtzOk ? 0 : 1;
}

}  // namespace wfhost
