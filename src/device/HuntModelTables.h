// The Hunt / Asoni model names: by the low byte of a camera's "CameraType",
// and, for the two families whose low byte is 0xAB or 0xBA, by its "Device"
// number.
#pragma once

#include <cstdint>

namespace talvex::HuntModels {

inline constexpr uint8_t kDeviceNumberFamilyAB = 0xAB;
inline constexpr uint8_t kDeviceNumberFamilyBA = 0xBA;

// The model name, or null for an unknown key.
const char* ModelOfCameraType(uint8_t cameraTypeLowByte);
const char* ModelOfDeviceNumber(int32_t deviceNumber);

}  // namespace talvex::HuntModels
