#include "io/CHuntIO.h"

#include <cctype>
#include <vector>

#include "base/FormatString.h"
#include "base/TextUtils.h"
#include "http/HUtils.h"
#include "http/ReplyLookups.h"

namespace talvex {

namespace {

// Records of the GPIO page end at "<br>"; any character of this set ends one.
constexpr const char* kRecordDelimiters = "<>";

DEVICE_INFO DeviceOf(IDriver* driver) { return driver != nullptr ? driver->GetDeviceInfo() : DEVICE_INFO(); }

std::unique_ptr<Web::CHttpSender> MakeSender(IDriver* driver) {
    auto sender = std::make_unique<Web::CHttpSender>(DeviceOf(driver));
    sender->SetLog(driver);
    return sender;
}

}  // namespace

CHuntIO::CHuntIO(IDriver* driver, uint32_t pollPeriodMs)
    : CIOBase(driver, pollPeriodMs), m_outputSender(MakeSender(driver)), m_inputSender(MakeSender(driver)) {}

CHuntIO::~CHuntIO() {
    // Both workers use the senders: stop them while the senders still exist.
    Stop();
}

bool CHuntIO::WriteOutput(unsigned int index, int32_t state) {
    // The camera's 1 is "active"; only the inactive state switches off.
    const int cameraState = state == ipcapture::kIoStateInactive ? 0 : 1;
    const std::string path = FormatString("/SetGPIO.cgi?Out%dSTA=%d", static_cast<int>(index + 1), cameraState);
    std::lock_guard<std::mutex> hold(m_outputMutex);
    return HUtils::RequestGetNoBody(path, *m_outputSender);
}

bool CHuntIO::PollInputs(unsigned int inputCount) {
    std::string reply;
    {
        std::vector<uint8_t> body;
        std::lock_guard<std::mutex> hold(m_inputMutex);
        if (!HUtils::RequestGetBody("/GetGPIO.cgi", body, *m_inputSender) || body.empty()) return false;
        // The request ends the body with a zero byte of its own.
        reply.assign(body.begin(), body.end() - 1);
    }
    // An answer without a single record is not the GPIO page: the states
    // are unknown, not all inactive.
    if (!HasRecord(reply)) return false;
    std::vector<int32_t> states;
    states.reserve(inputCount);
    for (unsigned int i = 0; i < inputCount; ++i) {
        const std::string name = FormatString("Input%uTrig", i + 1);
        states.push_back(InputStateOf(HUtils::FindRecordValue(name, "=", reply, kRecordDelimiters)));
    }
    UpdateInputs(states);
    return true;
}

int32_t CHuntIO::InputStateOf(const std::string& value) {
    // Read like the camera's own firmware writes numbers: blanks, a sign,
    // digits; whatever follows is ignored. Only the digits decide, so no
    // length of number can overflow.
    std::size_t pos = 0;
    while (pos < value.size() && std::isspace(static_cast<unsigned char>(value[pos])) != 0) ++pos;
    if (pos < value.size() && (value[pos] == '+' || value[pos] == '-')) ++pos;
    for (; pos < value.size() && std::isdigit(static_cast<unsigned char>(value[pos])) != 0; ++pos)
        if (value[pos] != '0') return ipcapture::kIoStateActive;
    return ipcapture::kIoStateInactive;
}

bool CHuntIO::HasRecord(const std::string& reply) {
    std::size_t start = 0;
    while (start <= reply.size()) {
        const std::size_t end = reply.find_first_of(kRecordDelimiters, start);
        const std::string record = reply.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::size_t assign = record.find('=');
        if (assign != std::string::npos && !HUtils::Trim(record.substr(0, assign)).empty()) return true;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return false;
}

void CHuntIO::AbortRequests() {
    m_outputSender->AbortRead();
    m_inputSender->AbortRead();
}

void CHuntIO::ResumeRequests() {
    {
        std::lock_guard<std::mutex> hold(m_outputMutex);
        m_outputSender->ResetAbort();
    }
    std::lock_guard<std::mutex> hold(m_inputMutex);
    m_inputSender->ResetAbort();
}

}  // namespace talvex
