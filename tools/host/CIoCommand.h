// wrenfield-host io: watch the digital inputs, or switch one output.
// Lines are numbered from 1, as the camera numbers them.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "CDriverSession.h"
#include "wrenfield/IO.h"

namespace wfhost {

struct SIoAction {
    bool watch = false;
    unsigned int output = 0;  // from 1
    bool on = false;
};

class CIoCommand final : public talvex::ipcapture::IHostIOSink {
public:
    static bool ParseAction(const std::vector<std::string>& words, SIoAction& action, std::string& error);
    static const char* StateName(int32_t state);

    CIoCommand(CDriverSession& session, double watchSeconds, FILE* out)
        : m_session(session), m_watchSeconds(watchSeconds), m_out(out) {}
    int Run(SCamera camera, const SIoAction& action, bool probe = true);

    void OnInputChanged(unsigned int index, int32_t state) override;
    void OnIOFailure() override;

private:
    int Watch(talvex::ICaptureIOApi& io);
    int Set(talvex::ICaptureIOApi& io, const SIoAction& action);

    CDriverSession& m_session;
    const double m_watchSeconds;
    FILE* const m_out;
    std::mutex m_mutex;  // keeps the lines of driver threads whole
};

}  // namespace wfhost
