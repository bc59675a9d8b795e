// wrenfield-host probe: the capability query, printed as a table or JSON.
#pragma once

#include <cstdio>

#include "CDriverSession.h"
#include "CSecretMask.h"

namespace wfhost {

class CProbeCommand {
public:
    CProbeCommand(CDriverSession& session, const CSecretMask& mask) : m_session(session), m_mask(mask) {}
    // The exit status: 0 when the camera answered the query.
    int Run(const SCamera& camera, bool json, FILE* out);

private:
    CDriverSession& m_session;
    const CSecretMask& m_mask;
};

}  // namespace wfhost
