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
// what it created, and host objects are never owned by the driver.
//
// Entries a host never needs (or the driver never calls) are still declared,
// as Reserved... placeholders, so that the slots line up.
//
// Calling conventions on 32-bit Windows
// -------------------------------------
// - Exported functions are __cdecl (WF_CALL) with undecorated names: the
//   caller removes the arguments, so a host that declares them without a
//   convention (its compiler's default, /Gd) calls them correctly.
// - Interface operations are __thiscall: "this" in ECX, the arguments on the
//   stack, removed by the callee. Both Microsoft's compiler and mingw-w64's
//   GCC use it for every non-variadic member function; slot 0 names it
//   explicitly (WF_THISCALL) because a host calls it without knowing our type.
// - Variadic operations are __cdecl with "this" pushed as the first stack
//   argument, the only form either compiler allows for them.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX  // std::min and std::max must stay usable
#endif
#include <windows.h>
#if defined(_WIN64)
// One calling convention on 64-bit Windows; only the 32-bit library names them.
#define WF_CALL
#define WF_THISCALL
#define WF_CDECL
#else
#define WF_CALL __cdecl
#define WF_THISCALL __thiscall
#define WF_CDECL __cdecl
#endif
#else
#define WF_CALL
#define WF_THISCALL
#define WF_CDECL

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
// Slot 0 of a Microsoft-compiled class is its "scalar deleting destructor":
// one entry, void* __thiscall (unsigned flags), which destroys the object and
// frees it when bit 0 of flags is set. GCC's own layout would put two
// destructor entries there, so on Windows the interfaces declare that one
// entry as an ordinary virtual operation instead, and keep their C++
// destructor protected and non-virtual: nobody deletes through an interface
// pointer with delete.
//
// Every class of the driver that a host receives implements the slot with
// WF_DELETING_DESTRUCTOR (which destroys through its own virtual destructor).
// The interface's body serves host-side implementations, which the driver
// never destroys: reaching it means a driver class lacks the macro, and the
// process stops rather than leak or corrupt silently.
#define WF_INTERFACE_DESTRUCTOR(Name)                                                  \
public:                                                                                \
    virtual void* WF_THISCALL WfDeletingDestructor(unsigned int /*flags*/) {           \
        __builtin_trap();                                                              \
    }                                                                                  \
                                                                                       \
protected:                                                                             \
    ~Name() = default;                                                                 \
                                                                                       \
public:

// In the public part of a concrete driver class with a virtual destructor.
#define WF_DELETING_DESTRUCTOR(Class)                                                  \
    void* WF_THISCALL WfDeletingDestructor(unsigned int flags) override {              \
        void* const self = this;                                                       \
        if ((flags & 1u) != 0)                                                         \
            delete this;                                                               \
        else                                                                           \
            this->~Class();                                                            \
        return self;                                                                   \
    }

// Destroys an object of the driver through slot 0, as its creator's
// counterpart export does: the object's own type decides how it is freed.
template <class Interface>
inline void WfDestroyThroughSlot(Interface* object) {
    if (object != nullptr) object->WfDeletingDestructor(1u);
}
#else
// Microsoft's compiler makes the one deleting-destructor slot of its own
// accord, and GCC on Linux makes the two the Linux host expects.
#define WF_INTERFACE_DESTRUCTOR(Name) \
public:                               \
    virtual ~Name() = default;

#define WF_DELETING_DESTRUCTOR(Class)

template <class Interface>
inline void WfDestroyThroughSlot(Interface* object) {
    delete object;
}
#endif

namespace talvex::ipcapture {

// The one root of the objects a host hands back to the driver's delete
// routine: the driver objects and the capability query modules. That routine
// serves both (a host may use either export for either object), so it
// destroys through this root's slot 0, which every such object's own type
// implements. It adds no entry to either interface's table.
class IDriverObject {
    WF_INTERFACE_DESTRUCTOR(IDriverObject)
};

}  // namespace talvex::ipcapture

// Owns a driver object through a host-facing interface (the vendor's I/O and
// PTZ objects, whose concrete types only the vendor driver knows).
struct WfSlotDeleter {
    template <class Interface>
    void operator()(Interface* object) const noexcept {
        WfDestroyThroughSlot(object);
    }
};

// Four-character codes are stored first character lowest ("H264" -> '4'<<24 ...).
constexpr uint32_t WfFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}
