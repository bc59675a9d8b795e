#include "platform/PlatformFile.h"
#include "wrenfield/Platform.h"

namespace talvex::platform {

EFileState ProbeFile(const std::string& path) {
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? EFileState::Missing
                                                                                : EFileState::Unreadable;
    }
    LARGE_INTEGER size{};
    const BOOL known = ::GetFileSizeEx(file, &size);
    ::CloseHandle(file);
    if (known == FALSE) return EFileState::Unreadable;
    return size.QuadPart == 0 ? EFileState::Empty : EFileState::HasContent;
}

bool FlushFileToDisk(const std::string& path) {
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const BOOL flushed = ::FlushFileBuffers(file);
    ::CloseHandle(file);
    return flushed != FALSE;
}

// MOVEFILE_WRITE_THROUGH returns only once the move is on the disk.
bool MoveFileReplacing(const std::string& from, const std::string& to) {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool MoveFileNoReplace(const std::string& from, const std::string& to) {
    return ::MoveFileExA(from.c_str(), to.c_str(), 0) != FALSE;
}

bool RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != FALSE; }

}  // namespace talvex::platform
