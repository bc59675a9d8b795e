#pragma once

#include <chrono>
#include <string>

// Helpers the simulator's end-to-end tests share: running the command-line tools that judge
// its output, and a raw loopback TCP connection for what an HTTP library would hide.
namespace camsimtest {

struct SCommandResult {
    int exitCode = -1;
    std::string output;  // standard output only
};

// Runs a shell command, bounded by timeoutSec (the command is killed after it).
SCommandResult RunCommand(const std::string& command, int timeoutSec);

// The value of "key=value" lines as ffprobe's -show_entries prints them.
std::string ProbeValue(const std::string& output, const std::string& key);

class CRawConnection {
public:
    explicit CRawConnection(int port);
    ~CRawConnection();
    CRawConnection(const CRawConnection&) = delete;
    CRawConnection& operator=(const CRawConnection&) = delete;

    bool Connected() const { return m_fd >= 0; }
    bool Send(const std::string& data);
    // Bytes that arrive within timeout (at most maxBytes); empty on time-out or close.
    std::string Receive(std::chrono::milliseconds timeout, std::size_t maxBytes = 65536);
    // True when the peer closed the connection within timeout (data before the close is read and dropped).
    bool WaitForClose(std::chrono::milliseconds timeout);

private:
    int m_fd = -1;
};

}  // namespace camsimtest
