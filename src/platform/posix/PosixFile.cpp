#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/PlatformFile.h"

namespace talvex::platform {

EFileState ProbeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? EFileState::Missing : EFileState::Unreadable;
    struct stat info {};
    const bool known = ::fstat(fd, &info) == 0;
    ::close(fd);
    if (!known || !S_ISREG(info.st_mode)) return EFileState::Unreadable;
    return info.st_size == 0 ? EFileState::Empty : EFileState::HasContent;
}

bool FlushFileToDisk(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool flushed = ::fsync(fd) == 0;
    return ::close(fd) == 0 && flushed;
}

bool MoveFileReplacing(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) return false;
    // The rename lives in the directory: until the directory is written out
    // a power loss may bring back the old file. The move itself has happened
    // either way, so a directory that cannot be flushed does not undo it.
    const std::size_t slash = to.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : to.substr(0, slash);
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}

bool MoveFileNoReplace(const std::string& from, const std::string& to) {
    // link + unlink refuses an existing target, which rename would replace.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace talvex::platform
