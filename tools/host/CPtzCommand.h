// wrenfield-host ptz: moves, zoom, focus, iris and presets of one input.
//
//   move left|right|up|down|up-left|up-right|down-left|down-right [SPEED]
//   zoom in|out [SPEED]    focus near|far    iris open|close    stop
//   preset add NAME | goto NAME | remove NAME | list
//
// A continuous action runs for --for MS (default 1000) and is then stopped.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "CArguments.h"
#include "CDriverSession.h"

namespace wfhost {

struct SPtzAction {
    std::string verb;       // move, zoom, focus, iris, stop, preset
    std::string what;       // the direction, or the preset operation
    std::string name;       // the preset name
    int32_t code = -1;      // move direction for the driver
    int32_t speed = 5;
};

class CPtzCommand {
public:
    static bool ParseAction(const std::vector<std::string>& words, SPtzAction& action, std::string& error);
    // The host's words for a driver result code.
    static std::string ResultText(int32_t result);

    CPtzCommand(CDriverSession& session, unsigned int channel, int durationMs)
        : m_session(session), m_channel(channel), m_durationMs(durationMs) {}
    // The camera is opened (after the capability query, which gives the
    // preset count and the MAC address naming the preset file) and closed again.
    int Run(SCamera camera, const SPtzAction& action, FILE* out, bool probe = true);

private:
    int32_t Perform(talvex::ipcapture::IIPPTZApiEx& ptz, const SPtzAction& action, FILE* out);
    int32_t Continuous(talvex::ipcapture::IIPPTZApiEx& ptz, int32_t started);

    CDriverSession& m_session;
    const unsigned int m_channel;
    const int m_durationMs;
};

}  // namespace wfhost
