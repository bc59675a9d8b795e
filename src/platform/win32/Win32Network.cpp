#include <winsock2.h>

#include "platform/PlatformNetwork.h"

namespace talvex::platform {

// Winsock counts start-ups: every successful StartNetwork is paired with one
// StopNetwork by its owner.
bool StartNetwork() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void StopNetwork() { WSACleanup(); }

}  // namespace talvex::platform
