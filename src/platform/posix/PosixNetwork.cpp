#include "platform/PlatformNetwork.h"

namespace talvex::platform {

// BSD sockets need no start-up.
bool StartNetwork() { return true; }
void StopNetwork() {}

}  // namespace talvex::platform
