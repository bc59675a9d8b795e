#include "CCamSimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

namespace {

// The number after "key": in the ready line, 0 when missing.
int JsonInt(const std::string& line, const std::string& key) {
    const auto at = line.find("\"" + key + "\":");
    if (at == std::string::npos) return 0;
    return std::atoi(line.c_str() + at + key.size() + 3);
}

}  // namespace

std::string CCamSimProcess::ExecutablePath() {
    if (const char* fromEnvironment = std::getenv("WRENFIELD_CAMSIM"); fromEnvironment && *fromEnvironment)
        return fromEnvironment;
#ifdef WRENFIELD_CAMSIM_PATH
    return WRENFIELD_CAMSIM_PATH;
#else
    return "wrenfield-camsim";
#endif
}

CCamSimProcess::CCamSimProcess(std::vector<std::string> options, std::chrono::milliseconds startTimeout) {
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        m_error = "pipe failed";
        return;
    }
    const std::string executable = ExecutablePath();
    std::vector<std::string> args{executable};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    m_pid = fork();
    if (m_pid == 0) {
        // A test that crashes must not leave a camera running.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        dup2(pipeEnds[1], STDOUT_FILENO);
        execv(executable.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    m_stdout = pipeEnds[0];
    if (m_pid < 0) {
        m_error = "fork failed";
        return;
    }
    if (!ReadReadyLine(startTimeout)) Stop(std::chrono::seconds(2));
}

CCamSimProcess::~CCamSimProcess() {
    Stop();
    if (m_stdout >= 0) close(m_stdout);
}

bool CCamSimProcess::ReadReadyLine(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string line;
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            m_error = "no ready line from " + ExecutablePath() + " in time";
            return false;
        }
        pollfd wait{m_stdout, POLLIN, 0};
        const int ready = poll(&wait, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) continue;
        char buffer[512];
        const ssize_t got = read(m_stdout, buffer, sizeof buffer);
        if (got <= 0) {
            m_error = ExecutablePath() + " exited before it was ready";
            return false;
        }
        line.append(buffer, static_cast<std::size_t>(got));
    }
    m_rtspPort = JsonInt(line, "rtsp_port");
    m_controlPort = JsonInt(line, "control_port");
    m_httpPort = JsonInt(line, "http_port");
    if (m_httpPort <= 0 || m_rtspPort <= 0 || m_controlPort <= 0) {
        m_error = "unexpected ready line: " + line;
        m_httpPort = 0;
        return false;
    }
    return true;
}

std::string CCamSimProcess::HttpUrl(const std::string& pathAndQuery) const {
    return "http://127.0.0.1:" + std::to_string(m_httpPort) + pathAndQuery;
}

std::string CCamSimProcess::RtspUrl(const std::string& path) const {
    return "rtsp://127.0.0.1:" + std::to_string(m_rtspPort) + path;
}

bool CCamSimProcess::Stop(std::chrono::milliseconds timeout) {
    if (m_pid <= 0) return false;
    kill(m_pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    pid_t done = 0;
    // The child is ours alone, so polling waitpid here costs nothing and needs no SIGCHLD handler.
    while ((done = waitpid(m_pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (done == 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, &status, 0);
    }
    m_pid = -1;
    return done == 0 ? false : WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool CCamSimProcess::Kill() {
    if (m_pid <= 0) return false;
    kill(m_pid, SIGKILL);
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = -1;
    return true;
}
