// Loaded modules: dynamic libraries, the host executable's directory and the
// file version of a module.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "wrenfield/Platform.h"

// <windows.h> (pulled in above on Windows) keeps a 16-bit era FreeModule
// macro that would swallow our own function of that name.
#ifdef FreeModule
#undef FreeModule
#endif

// The calling convention of plug-in libraries written for 32-bit Windows,
// whose exports are __stdcall; elsewhere there is only one convention.
#if defined(_WIN32) && !defined(_WIN64)
#define WF_STDCALL __stdcall
#else
#define WF_STDCALL
#endif

namespace talvex::platform {

struct ModuleRecord;
using ModuleHandle = ModuleRecord*;

ModuleHandle LoadModule(const std::string& path);
// The file name a plug-in library of this base name has on this platform:
// "Name.dll" on Windows, "libName.so" elsewhere.
std::string SharedLibraryFileName(const std::string& baseName);
void* FindSymbol(ModuleHandle module, const char* name);
void FreeModule(ModuleHandle module);

// The directory of the running executable, with a trailing separator; empty
// when it cannot be found.
std::string ExecutableDirectory();

// major, minor, build, revision of a module's version resource. False where
// the module has none (always on platforms without version resources).
bool ModuleFileVersion(const std::string& moduleName, std::array<uint16_t, 4>& version);

}  // namespace talvex::platform
