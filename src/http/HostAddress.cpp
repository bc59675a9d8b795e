#include "http/HostAddress.h"

#include "platform/PlatformSocket.h"

namespace talvex::HUtils {

uint32_t ResolveHostAddress(const std::string& host) {
    if (host.empty()) return 0;
    return platform::ResolveIPv4(host);
}

}  // namespace talvex::HUtils
