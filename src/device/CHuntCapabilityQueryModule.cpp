#include "device/CHuntCapabilityQueryModule.h"

#include <new>

#include "device/CHuntCameraProperties.h"

namespace talvex {

CBaseCameraProperties* CHuntCapabilityQueryModule::CreateProperties() {
    return new (std::nothrow) CHuntCameraProperties(Device, Context);
}

}  // namespace talvex
