#include "CIoCommand.h"

#include <chrono>
#include <thread>

#include "CArguments.h"

namespace wfhost {

bool CIoCommand::ParseAction(const std::vector<std::string>& words, SIoAction& action, std::string& error) {
    if (words.size() == 1 && words[0] == "watch") {
        action.watch = true;
        return true;
    }
    if (words.size() == 3 && words[0] == "set") {
        const auto number = CArguments::Number(words[1]);
        if (!number || *number < 1 || *number > 16 || *number != static_cast<unsigned int>(*number)) {
            error = "output \"" + words[1] + "\" is not a number from 1 to 16";
            return false;
        }
        if (words[2] != "on" && words[2] != "off") {
            error = "io set needs on or off, not \"" + words[2] + "\"";
            return false;
        }
        action.output = static_cast<unsigned int>(*number);
        action.on = words[2] == "on";
        return true;
    }
    error = "io needs watch, or set N on|off";
    return false;
}

const char* CIoCommand::StateName(int32_t state) {
    switch (state) {
        case talvex::ipcapture::kIoStateActive: return "active";
        case talvex::ipcapture::kIoStateInactive: return "inactive";
        default: return "unknown";
    }
}

void CIoCommand::OnInputChanged(unsigned int index, int32_t state) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::fprintf(m_out, "input %u: %s\n", index + 1, StateName(state));
    std::fflush(m_out);
}

void CIoCommand::OnIOFailure() {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::fprintf(m_out, "I/O request failed; states unknown until the next poll\n");
    std::fflush(m_out);
}

int CIoCommand::Watch(talvex::ICaptureIOApi& io) {
    if (io.GetInputCount() == 0) {
        std::fprintf(stderr, "wrenfield-host: the camera has no digital inputs (give di=N in the camera text)\n");
        return 1;
    }
    io.SetSink(this);
    if (!io.Start()) {
        std::fprintf(stderr, "wrenfield-host: the input poller did not start\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int64_t>(m_watchSeconds * 1000)));
    io.Stop();
    return 0;
}

int CIoCommand::Set(talvex::ICaptureIOApi& io, const SIoAction& action) {
    if (action.output > io.GetOutputCount()) {
        std::fprintf(stderr, "wrenfield-host: the camera has %u digital output(s)\n", io.GetOutputCount());
        return 1;
    }
    // Written at once rather than queued: starting the I/O object first
    // would switch every other output off.
    const int32_t state = action.on ? talvex::ipcapture::kIoStateActive : talvex::ipcapture::kIoStateInactive;
    if (!io.WriteOutput(action.output - 1, state)) {
        std::fprintf(stderr, "wrenfield-host: the camera refused output %u\n", action.output);
        return 1;
    }
    std::fprintf(m_out, "output %u: %s\n", action.output, action.on ? "on" : "off");
    return 0;
}

int CIoCommand::Run(SCamera camera, const SIoAction& action, bool probe) {
    std::string error;
    if (!m_session.OpenForControl(camera, probe, error)) {
        std::fprintf(stderr, "wrenfield-host: %s\n", error.c_str());
        return 1;
    }
    talvex::ICaptureIOApi* io = m_session.Driver()->GetIOApi();
    const int status = io == nullptr ? 1 : (action.watch ? Watch(*io) : Set(*io, action));
    m_session.Close();
    return status;
}

}  // namespace wfhost
