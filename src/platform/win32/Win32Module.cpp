#include <cstring>
#include <vector>

#include "platform/PlatformModule.h"

namespace talvex::platform {

namespace {

HMODULE ToNative(ModuleHandle module) { return reinterpret_cast<HMODULE>(module); }

// The signature every fixed version block starts with.
constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;

}  // namespace

ModuleHandle LoadModule(const std::string& path) {
    return reinterpret_cast<ModuleHandle>(::LoadLibraryA(path.c_str()));
}

std::string SharedLibraryFileName(const std::string& baseName) { return baseName + ".dll"; }

void* FindSymbol(ModuleHandle module, const char* name) {
    if (module == nullptr || name == nullptr) return nullptr;
    const FARPROC symbol = ::GetProcAddress(ToNative(module), name);
    // Callers cast back to the function type they know; the copy keeps the
    // function-to-object pointer change out of the compiler's way.
    void* result = nullptr;
    static_assert(sizeof(result) == sizeof(symbol));
    std::memcpy(&result, &symbol, sizeof(result));
    return result;
}

void FreeModule(ModuleHandle module) {
    if (module != nullptr) ::FreeLibrary(ToNative(module));
}

std::string ExecutableDirectory() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        // A full buffer means the name was cut short: try again with more room.
        if (length < path.size()) {
            std::string text(path.data(), length);
            const std::size_t separator = text.find_last_of("\\/");
            if (separator == std::string::npos) return {};
            return text.substr(0, separator + 1);
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

bool ModuleFileVersion(const std::string& moduleName, std::array<uint16_t, 4>& version) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(moduleName.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<char> data(size);
    if (::GetFileVersionInfoA(moduleName.c_str(), 0, size, data.data()) == FALSE) return false;
    void* block = nullptr;
    UINT blockSize = 0;
    char root[] = "\\";
    if (::VerQueryValueA(data.data(), root, &block, &blockSize) == FALSE || block == nullptr ||
        blockSize < sizeof(VS_FIXEDFILEINFO))
        return false;
    VS_FIXEDFILEINFO info{};
    std::memcpy(&info, block, sizeof(info));
    if (info.dwSignature != kFixedFileInfoSignature) return false;
    version = {HIWORD(info.dwFileVersionMS), LOWORD(info.dwFileVersionMS), HIWORD(info.dwFileVersionLS),
               LOWORD(info.dwFileVersionLS)};
    return true;
}

}  // namespace talvex::platform
