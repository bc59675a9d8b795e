// Some behaviour of Wine's WinHTTP differs from Windows'; tests that depend
// on it ask where they run.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#endif

namespace wftest {

inline bool RunningUnderWine() {
#if defined(_WIN32)
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

}  // namespace wftest
