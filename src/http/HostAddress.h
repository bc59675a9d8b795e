// Name resolution for the camera address the host gives, shared by the HTTP
// and RTSP paths.
#pragma once

#include <cstdint>
#include <string>

namespace talvex::HUtils {

// IPv4 address in network byte order; 0 for an empty text or a name that
// does not resolve.
uint32_t ResolveHostAddress(const std::string& host);

}  // namespace talvex::HUtils
