#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include "platform/PlatformModule.h"

namespace talvex::platform {

ModuleHandle LoadModule(const std::string& path) {
    return static_cast<ModuleHandle>(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
}

std::string SharedLibraryFileName(const std::string& baseName) { return "lib" + baseName + ".so"; }

void* FindSymbol(ModuleHandle module, const char* name) {
    if (module == nullptr || name == nullptr) return nullptr;
    return dlsym(static_cast<void*>(module), name);
}

void FreeModule(ModuleHandle module) {
    if (module != nullptr) dlclose(static_cast<void*>(module));
}

std::string ExecutableDirectory() {
    char path[PATH_MAX + 1];
    ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
    if (length <= 0) return {};
    std::string text(path, static_cast<std::size_t>(length));
    std::size_t slash = text.rfind('/');
    if (slash == std::string::npos) return {};
    return text.substr(0, slash + 1);
}

bool ModuleFileVersion(const std::string&, std::array<uint16_t, 4>&) {
    return false;  // no version resources here: callers apply their fallback
}

}  // namespace talvex::platform
