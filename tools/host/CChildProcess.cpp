#include "CChildProcess.h"

#if !defined(_WIN32)
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#endif

namespace wfhost {

CChildProcess::~CChildProcess() { Stop(); }

#if defined(_WIN32)
bool CChildProcess::Start(const std::vector<std::string>&, int, std::string&, std::string& error) {
    error = "the demo starts the Linux simulator and runs on Linux only";
    return false;
}

void CChildProcess::Stop() {}
#else
bool CChildProcess::Start(const std::vector<std::string>& command, int timeoutMs, std::string& firstLine,
                          std::string& error) {
    int pipeEnds[2];
    if (command.empty() || pipe(pipeEnds) != 0) {
        error = "cannot start a program";
        return false;
    }
    std::vector<char*> argv;
    for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    m_pid = fork();
    if (m_pid == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    m_output = pipeEnds[0];
    if (m_pid < 0) {
        error = "cannot start " + command[0];
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    firstLine.clear();
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd ready{m_output, POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) continue;
        char c = 0;
        if (read(m_output, &c, 1) != 1) break;
        if (c == '\n') return true;
        firstLine += c;
    }
    error = command[0] + " did not start (no ready line)";
    Stop();
    return false;
}

void CChildProcess::Stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        // A stopped simulator ends within a second or two; after five it is killed.
        for (int i = 0; i < 50 && waitpid(m_pid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (waitpid(m_pid, &status, WNOHANG) == 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
        }
    }
    m_pid = -1;
    if (m_output >= 0) close(m_output);
    m_output = -1;
}
#endif

}  // namespace wfhost
