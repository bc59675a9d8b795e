// Per-user start-up of the platform's network stack (a no-op where the stack
// needs none).
#pragma once

namespace talvex::platform {

bool StartNetwork();
void StopNetwork();

}  // namespace talvex::platform
