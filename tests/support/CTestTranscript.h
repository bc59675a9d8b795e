// Every text the driver hands a stand-in host or a test's message path, kept
// in a file when WF_TEST_TRANSCRIPT_DIR names a directory (ctest sets it for
// the end-to-end suites), so that a later check can search all of them for
// what must never be there, such as the test accounts' passwords. One file
// per process; each line is "<kind>: <text>".
#pragma once

#ifdef _WIN32
#include <process.h>
#define WF_TRANSCRIPT_PID() ::_getpid()
#else
#include <unistd.h>
#define WF_TRANSCRIPT_PID() ::getpid()
#endif

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

namespace wftest {

inline void Transcribe(const std::string& kind, const std::string& text) {
    static const char* const directory = std::getenv("WF_TEST_TRANSCRIPT_DIR");
    if (directory == nullptr || *directory == '\0') return;
    static std::mutex mutex;
    std::lock_guard<std::mutex> lock(mutex);  // one line at a time, whole
    const std::string path = std::string(directory) + "/transcript-" + std::to_string(WF_TRANSCRIPT_PID()) + ".log";
    if (FILE* file = std::fopen(path.c_str(), "a")) {
        std::fprintf(file, "%s: %s\n", kind.c_str(), text.c_str());
        std::fclose(file);
    }
}

}  // namespace wftest
