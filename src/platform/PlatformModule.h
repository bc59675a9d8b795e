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

namespace talvex::platform {

struct ModuleRecord;
using ModuleHandle = ModuleRecord*;

ModuleHandle LoadModule(const std::string& path);
void* FindSymbol(ModuleHandle module, const char* name);
void FreeModule(ModuleHandle module);

// The directory of the running executable, with a trailing separator; empty
// when it cannot be found.
std::string ExecutableDirectory();

// major, minor, build, revision of a module's version resource. False where
// the module has none (always on platforms without version resources).
bool ModuleFileVersion(const std::string& moduleName, std::array<uint16_t, 4>& version);

}  // namespace talvex::platform
