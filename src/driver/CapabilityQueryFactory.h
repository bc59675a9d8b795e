// Which capability query module the exports make.
#pragma once

#include <cstdint>

#include "device/CCapabilityQueryModule.h"

namespace talvex {

using CapabilityQueryFactory = CCapabilityQueryModule* (*)(ipcapture::IHostCapabilityCallback* callback,
                                                            uint32_t flag);

// Makes the modules of CreateCapabilityQueryModule and InitCapabilityQuery:
// the Hunt module unless a test put in its own (a module whose fetch ignores
// aborts, to reach the bounded wait). Null puts the Hunt module back. Returns
// the previous factory; set while no export runs.
CapabilityQueryFactory SetCapabilityQueryFactory(CapabilityQueryFactory factory);

}  // namespace talvex
