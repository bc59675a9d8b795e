// Wrenfield SDK: conventions shared by every host-facing declaration.
//
// Binary contract with the host
// -----------------------------
// Every host-facing interface is an abstract class whose virtual operations
// appear in the table order the host relies on. Slot 0 is always the
// destructor, declared through WF_INTERFACE_DESTRUCTOR so that the Windows
// build lays it out as the single slot a Microsoft-compiled host expects,
// while the Linux build uses an ordinary virtual destructor. Neither side
// deletes the other's objects through these interfaces: the driver deletes
// what it created through its own types, and host objects are never owned by
// the driver.
//
// Entries a host never needs (or the driver never calls) are still declared,
// as Reserved... placeholders, so that the slots line up.
//
// Exported functions use the C calling convention (__cdecl on 32-bit
// Windows) and undecorated names.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#define WF_CALL __cdecl
#else
#define WF_CALL

// Windows' broken-down UTC time, declared here with its Windows field layout
// so that samples carry the same time record on every platform.
struct SYSTEMTIME {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};
#endif

#if defined(WF_BUILDING_DRIVER)
#if defined(_WIN32)
#define WF_API extern "C"  // exported through the module definition file
#else
#define WF_API extern "C" __attribute__((visibility("default")))
#endif
#else
#define WF_API extern "C"
#endif

#if defined(_WIN32) && !defined(_MSC_VER)
// A Microsoft-compiled host reserves one slot for the destructor (its
// "scalar deleting destructor", called with one flags argument), where the
// Itanium layout of this compiler would reserve two. The slot is therefore an
// ordinary virtual operation with that signature; implementations that the
// host may destroy through it define WfDeleteSlot. The real destructor is
// protected and not virtual at the interface level: nobody deletes through an
// interface pointer.
#define WF_INTERFACE_DESTRUCTOR(Name)                                  \
public:                                                                \
    virtual void* WfDeleteSlot(unsigned int /*flags*/) { return this; } \
                                                                       \
protected:                                                             \
    ~Name() = default;                                                 \
                                                                       \
public:
#else
#define WF_INTERFACE_DESTRUCTOR(Name) \
public:                               \
    virtual ~Name() = default;
#endif

// Four-character codes are stored first character lowest ("H264" -> '4'<<24 ...).
constexpr uint32_t WfFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}
