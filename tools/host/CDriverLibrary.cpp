#include "CDriverLibrary.h"

#include <cstdio>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace wfhost {

namespace {

#if defined(_WIN32)
constexpr const char* kLibraryName = "Wrenfield.dll";
#else
constexpr const char* kLibraryName = "libwrenfield.so";
#endif

void* OpenModule(const std::string& path, std::string& reason) {
#if defined(_WIN32)
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) reason = "error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(module);
#else
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        const char* text = dlerror();
        reason = text != nullptr ? text : "unknown reason";
    }
    return module;
#endif
}

void CloseModule(void* module) {
#if defined(_WIN32)
    FreeLibrary(reinterpret_cast<HMODULE>(module));
#else
    dlclose(module);
#endif
}

}  // namespace

CDriverLibrary::~CDriverLibrary() {
    if (m_module != nullptr) CloseModule(m_module);
}

void* CDriverLibrary::Find(const char* name) const {
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(m_module), name));
#else
    return dlsym(m_module, name);
#endif
}

bool CDriverLibrary::Load(const std::string& path, std::string& error) {
    std::string reason;
    m_module = OpenModule(path, reason);
    if (m_module == nullptr) {
        error = "cannot load the driver library " + path + ": " + reason;
        return false;
    }
    m_create = reinterpret_cast<decltype(m_create)>(Find("CreateIPCaptureEx3"));
    m_delete = reinterpret_cast<decltype(m_delete)>(Find("DeleteIPCaptureEx3"));
    m_createQuery = reinterpret_cast<decltype(m_createQuery)>(Find("CreateCapabilityQueryModule"));
    if (m_create == nullptr || m_delete == nullptr || m_createQuery == nullptr) {
        error = path + " lacks the driver's exports";
        return false;
    }
    return true;
}

talvex::ipcapture::IIPCaptureDriverEx3* CDriverLibrary::CreateDriver() const {
    return m_create != nullptr ? m_create() : nullptr;
}

talvex::ipcapture::IIPCapabilityQuery* CDriverLibrary::CreateQuery(
    talvex::ipcapture::IHostCapabilityCallback* callback) const {
    return m_createQuery != nullptr ? m_createQuery(callback, 0) : nullptr;
}

void CDriverLibrary::Delete(talvex::ipcapture::IDriverObject* object) const {
    if (m_delete != nullptr) m_delete(object);
}

std::string CDriverLibrary::ExecutableDirectory() {
    std::string path;
#if defined(_WIN32)
    char buffer[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    path.assign(buffer, length);
    const auto slash = path.find_last_of("\\/");
#else
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length > 0) path.assign(buffer, static_cast<std::size_t>(length));
    const auto slash = path.find_last_of('/');
#endif
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool CDriverLibrary::FileExists(const std::string& path) {
#if defined(_WIN32)
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
#endif
}

std::string CDriverLibrary::DefaultPath() {
    const std::string here = ExecutableDirectory();
    for (const std::string& candidate :
         {here + kLibraryName, here + "../../src/" + kLibraryName, here + "../lib/" + kLibraryName})
        if (FileExists(candidate)) return candidate;
    return here + kLibraryName;
}

}  // namespace wfhost
