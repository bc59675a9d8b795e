#include "CProbeCommand.h"

#include "CProbePrinter.h"

namespace wfhost {

int CProbeCommand::Run(const SCamera& camera, bool json, FILE* out) {
    CCapabilityRecord record;
    std::string error;
    if (!m_session.Query(camera, record, error)) {
        std::fprintf(stderr, "wrenfield-host: %s\n", m_mask.Apply(error).c_str());
        return 1;
    }
    const CProbePrinter printer(m_mask);
    const SCapabilities capabilities = record.Snapshot();
    std::fputs((json ? printer.Json(capabilities) : printer.Table(capabilities)).c_str(), out);
    std::fflush(out);
    return 0;
}

}  // namespace wfhost
