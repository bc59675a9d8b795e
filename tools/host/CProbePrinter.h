// Prints a camera's capabilities as a table for people and as one JSON line
// for programs; the password the driver hands back is never printed.
#pragma once

#include <string>

#include "CCapabilityRecord.h"
#include "CSecretMask.h"

namespace wfhost {

class CProbePrinter {
public:
    explicit CProbePrinter(const CSecretMask& mask) : m_mask(mask) {}

    std::string Table(const SCapabilities& capabilities) const;
    std::string Json(const SCapabilities& capabilities) const;

    static const char* KindName(uint32_t kind);
    static const char* ConnectionName(uint32_t index);

private:
    // The connection text as it may be shown: the password as "****".
    std::string ConnectionText(uint32_t index, const std::string& text) const;

    const CSecretMask& m_mask;
};

}  // namespace wfhost
