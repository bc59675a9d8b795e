// The camera side of the preset list: store, recall and remove a numbered
// camera preset. Runs on the caller's thread.
#pragma once

#include <cstdint>
#include <string>

#include "base/IDebugMessage.h"

namespace talvex {

class IPrepositionComm : public virtual IDebugMessage {
public:
    virtual bool SavePreset(uint32_t slot, const std::string& name) = 0;
    virtual bool GotoPreset(uint32_t slot, const std::string& name, int32_t value) = 0;
    virtual bool RemovePreset(uint32_t slot, const std::string& name);
};

}  // namespace talvex
