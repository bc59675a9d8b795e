#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

// Runs wrenfield-camsim as a child process for the length of a test. The constructor starts
// it with the given options (ports default to ephemeral) and waits for its ready line; the
// destructor asks it to stop (SIGTERM) and kills it if it does not within a few seconds.
// The executable is WRENFIELD_CAMSIM from the environment when set, else the one built here.
class CCamSimProcess {
public:
    explicit CCamSimProcess(std::vector<std::string> options = {},
                            std::chrono::milliseconds startTimeout = std::chrono::seconds(15));
    ~CCamSimProcess();
    CCamSimProcess(const CCamSimProcess&) = delete;
    CCamSimProcess& operator=(const CCamSimProcess&) = delete;

    bool Started() const { return m_httpPort > 0; }
    const std::string& Error() const { return m_error; }  // why it did not start
    pid_t Pid() const { return m_pid; }

    int HttpPort() const { return m_httpPort; }
    int RtspPort() const { return m_rtspPort; }
    int ControlPort() const { return m_controlPort; }
    std::string HttpUrl(const std::string& pathAndQuery) const;
    std::string RtspUrl(const std::string& path) const;  // path with its leading "/"

    // Sends SIGTERM and waits; true when the simulator exited with status 0 in time.
    bool Stop(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // Kills the simulator at once (SIGKILL), as a camera that loses power; its ports close with
    // whatever was open on them. True when it was running.
    bool Kill();

    static std::string ExecutablePath();

private:
    bool ReadReadyLine(std::chrono::milliseconds timeout);

    pid_t m_pid = -1;
    int m_stdout = -1;  // read end of the child's standard output
    int m_httpPort = 0;
    int m_rtspPort = 0;
    int m_controlPort = 0;
    std::string m_error;
};
