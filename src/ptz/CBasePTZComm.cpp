#include "ptz/CBasePTZComm.h"

#include <cstdarg>
#include <new>

#include "base/FormatString.h"

namespace talvex {

namespace {
// A newer command replaces the one still waiting.
constexpr unsigned int kMaxWaiting = 1;
}  // namespace

bool IPrepositionComm::RemovePreset(uint32_t, const std::string&) { return true; }

CBasePTZComm::CBasePTZComm(IDriver* driver, uint16_t channel) : m_channel(channel), m_driver(driver) {}

CBasePTZComm::~CBasePTZComm() { Shutdown(); }

void CBasePTZComm::Shutdown() {
    if (m_opened) {
        Stop();
        m_opened = false;
    }
}

bool CBasePTZComm::Open() {
    if (!m_opened) m_opened = Start(FormatString("BaseIPPTZThread_Ch%u", static_cast<unsigned>(m_channel) + 1));
    if (!IsRunning()) {
        m_opened = false;
        if (m_driver != nullptr)
            m_driver->DebugMessage(kLevelFailure, "%s: unable to start thread for PTZ channel %u",
                                   "talvex::CBasePTZComm::Open", static_cast<unsigned>(m_channel) + 1);
    }
    return m_opened;
}

void CBasePTZComm::DebugMessage(int32_t level, const char* format, ...) {
    if (m_driver == nullptr || format == nullptr) return;
    va_list arguments;
    va_start(arguments, format);
    const std::string text = FormatStringV(format, arguments);
    va_end(arguments);
    m_driver->DebugMessage(level, "%s", text.c_str());
}

bool CBasePTZComm::Post(const char* source, CWorkItem* item) {
    if (item == nullptr) return false;
    const int32_t code = item->code;
    try {
        if (AddItem(item, kMaxWaiting)) return true;
        if (m_driver != nullptr)
            m_driver->DebugMessage(kLevelFailure, "%s: cannot send message (%d) to thread", source, code);
    } catch (...) {
        // Out of memory while queueing or reporting: the command is lost, the host hears so.
    }
    return false;
}

namespace {
CBasePTZComm::CWorkItem* MakeItem(int32_t code, int32_t subCode, IIPParams* params, int32_t value, int32_t first = 0,
                                  int32_t second = 0, int32_t third = 0) {
    auto* item = new (std::nothrow) CBasePTZComm::CWorkItem;
    if (item == nullptr) return nullptr;
    item->code = code;
    item->subCode = subCode;
    item->params = params;
    item->value = value;
    item->first = first;
    item->second = second;
    item->third = third;
    return item;
}
}  // namespace

int32_t CBasePTZComm::StartMove(IIPParams* params, int32_t direction, int32_t speed) {
    return Post("talvex::CBasePTZComm::StartMove", MakeItem(kMove, 0, params, speed, direction)) ? kPosted : kNotPosted;
}

int32_t CBasePTZComm::StartFocus(IIPParams* params, int32_t subCode, int32_t speed) {
    return Post("talvex::CBasePTZComm::StartFocus", MakeItem(kFocus, subCode, params, speed)) ? kPosted : kNotPosted;
}

int32_t CBasePTZComm::StartIris(IIPParams* params, int32_t subCode, int32_t speed) {
    return Post("talvex::CBasePTZComm::StartIris", MakeItem(kIris, subCode, params, speed)) ? kPosted : kNotPosted;
}

bool CBasePTZComm::StopMoving(IIPParams* params) {
    return Post("talvex::CBasePTZComm::StopMoving", MakeItem(kStop, kStopMoving, params, 0));
}

bool CBasePTZComm::StopZooming(IIPParams* params) {
    return Post("talvex::CBasePTZComm::StopZooming", MakeItem(kStop, kStopZooming, params, 0));
}

bool CBasePTZComm::StopFocusing(IIPParams* params) {
    return Post("talvex::CBasePTZComm::StopFocusing", MakeItem(kStop, kStopFocusing, params, 0));
}

bool CBasePTZComm::StopIrisChanging(IIPParams* params) {
    return Post("talvex::CBasePTZComm::StopIrisChanging", MakeItem(kStop, kStopIris, params, 0));
}

int32_t CBasePTZComm::AreaZoom(IIPParams* params, int32_t a, int32_t b, int32_t c, int32_t d) {
    return Post("talvex::CBasePTZComm::AreaZoom", MakeItem(kAreaZoom, 0, params, d, a, b, c)) ? kPosted : kNotPosted;
}

int32_t CBasePTZComm::Center(IIPParams* params, int32_t a, int32_t b, int32_t c) {
    return Post("talvex::CBasePTZComm::Center", MakeItem(kCenter, 0, params, c, a, b)) ? kPosted : kNotPosted;
}

int32_t CBasePTZComm::Unzoom(IIPParams* params, int32_t a) {
    return Post("talvex::CBasePTZComm::Unzoom", MakeItem(kUnzoom, 0, params, a)) ? kPosted : kNotPosted;
}

}  // namespace talvex
