// One camera as a recorder holds it: the library, the host objects the
// driver keeps (log sink, sample allocator, parameters) and one driver
// object, closed and deleted with the session.
#pragma once

#include <memory>
#include <string>

#include "CCameraText.h"
#include "CCapabilityRecord.h"
#include "CDriverLibrary.h"
#include "CDriverLog.h"
#include "CHostParams.h"
#include "CSampleAllocator.h"

namespace wfhost {

class CDriverSession {
public:
    CDriverSession(CDriverLibrary& library, CDriverLog& log) : m_library(library), m_log(log) {}
    ~CDriverSession();
    CDriverSession(const CDriverSession&) = delete;
    CDriverSession& operator=(const CDriverSession&) = delete;

    // Runs the capability query; false with one line in error (no password in it).
    bool Query(const SCamera& camera, CCapabilityRecord& record, std::string& error);
    // What a recorder takes from the query before it adds a camera: the
    // model, the inputs, the I/O counts and custom parameters 5 to 7,
    // wherever the camera text left them out.
    static void Complete(SCamera& camera, const SCapabilities& capabilities);

    bool Open(const SCamera& camera, std::string& error);
    // What the PTZ and I/O commands do first: the query (unless left out)
    // completes the camera, an unset stream type becomes MJPEG, then Open.
    bool OpenForControl(SCamera camera, bool probe, std::string& error);
    void Close();
    talvex::ipcapture::IIPCaptureDriverEx3* Driver() const { return m_driver; }
    const SCamera& Camera() const { return m_camera; }

    // The longest a query may take: its own time-outs and the module's wait for its thread.
    static constexpr int kQueryTimeoutMs = 30000;

private:
    CDriverLibrary& m_library;
    CDriverLog& m_log;
    CSampleAllocator m_allocator;
    SCamera m_camera;
    std::unique_ptr<CHostParams> m_params;
    talvex::ipcapture::IIPCaptureDriverEx3* m_driver = nullptr;
};

}  // namespace wfhost
