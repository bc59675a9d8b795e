// The driver library loaded the way a recorder loads it: by path at run
// time, its functions found by their exported names. The only code of the
// host (with CTerminal) that differs between Linux and Windows.
#pragma once

#include <string>

#include "wrenfield/Wrenfield.h"

namespace wfhost {

class CDriverLibrary {
public:
    CDriverLibrary() = default;
    ~CDriverLibrary();
    CDriverLibrary(const CDriverLibrary&) = delete;
    CDriverLibrary& operator=(const CDriverLibrary&) = delete;

    // False with one line in error when the file is missing or lacks an export.
    bool Load(const std::string& path, std::string& error);

    talvex::ipcapture::IIPCaptureDriverEx3* CreateDriver() const;
    talvex::ipcapture::IIPCapabilityQuery* CreateQuery(talvex::ipcapture::IHostCapabilityCallback* callback) const;
    // Destroys a driver object or a capability query module.
    void Delete(talvex::ipcapture::IDriverObject* object) const;

    // Where a host finds the library when none is named: beside the
    // executable, in the build tree, or in an installed tree's lib folder.
    static std::string DefaultPath();
    static std::string ExecutableDirectory();  // with a trailing separator
    static bool FileExists(const std::string& path);

private:
    void* Find(const char* name) const;

    void* m_module = nullptr;
    talvex::ipcapture::IIPCaptureDriverEx3*(WF_CALL* m_create)() = nullptr;
    void(WF_CALL* m_delete)(talvex::ipcapture::IDriverObject*) = nullptr;
    talvex::ipcapture::IIPCapabilityQuery*(WF_CALL* m_createQuery)(talvex::ipcapture::IHostCapabilityCallback*,
                                                                    uint32_t) = nullptr;
};

}  // namespace wfhost
