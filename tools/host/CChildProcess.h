// A program the host starts and owns (the demo's simulator): its first line
// of output is read, and it is stopped and waited for with the object.
#pragma once

#include <string>
#include <vector>

namespace wfhost {

class CChildProcess {
public:
    CChildProcess() = default;
    ~CChildProcess();
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;

    // Starts the program and waits up to timeoutMs for its first output line.
    bool Start(const std::vector<std::string>& command, int timeoutMs, std::string& firstLine, std::string& error);
    void Stop();

private:
#if !defined(_WIN32)
    int m_pid = -1;
    int m_output = -1;
#endif
};

}  // namespace wfhost
