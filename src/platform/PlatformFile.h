// The few file operations the preset storage needs beyond its XML document.
#pragma once

#include <string>

namespace talvex::platform {

enum class EFileState {
    Missing,     // no such file
    Empty,       // exists with size 0
    Unreadable,  // exists but cannot be opened for reading (locked, no permission)
    HasContent,
};

EFileState ProbeFile(const std::string& path);
// Has the system write the file's data through to the disk before it
// returns, so that a file renamed over another after this is never found
// empty or cut short after a power loss.
bool FlushFileToDisk(const std::string& path);
// Moves from over to, replacing to when it exists, in one step where the
// file system allows it; the new name itself is written through to the disk
// before it returns.
bool MoveFileReplacing(const std::string& from, const std::string& to);
// Renames without replacing: false when to exists.
bool MoveFileNoReplace(const std::string& from, const std::string& to);
bool RemoveFile(const std::string& path);

}  // namespace talvex::platform
