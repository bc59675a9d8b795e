// The capability query of Hunt / Asoni cameras.
#pragma once

#include "device/CCapabilityQueryModule.h"

namespace talvex {

class CHuntCapabilityQueryModule final : public CCapabilityQueryModule {
public:
    using CCapabilityQueryModule::CCapabilityQueryModule;

protected:
    CBaseCameraProperties* CreateProperties() override;
};

}  // namespace talvex
