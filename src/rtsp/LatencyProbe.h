// The benchmark build's latency probe (CMake option WRENFIELD_LATENCY_PROBE):
// the time from the UDP receive of the packet that completes a picture to the
// host's OnFrame for it, collected in a histogram that is written at unload to
// the file the environment variable WRENFIELD_LATENCY_FILE names. In every
// other build the calls below are empty and cost nothing.
#pragma once

#include <cstdint>

namespace talvex::latency {

#ifdef WRENFIELD_LATENCY_PROBE
inline constexpr bool kEnabled = true;
// A steady clock in nanoseconds.
int64_t Now();
// On the thread that feeds the depacketizer, before each packet: when the
// packet left the socket.
void SetPacketReceived(int64_t receivedNs);
// On the same thread, as a picture goes to the host.
void RecordPictureDelivered();
#else
inline constexpr bool kEnabled = false;
inline int64_t Now() { return 0; }
inline void SetPacketReceived(int64_t) {}
inline void RecordPictureDelivered() {}
#endif

}  // namespace talvex::latency
