#include "CamSimTestTools.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace camsimtest {

SCommandResult RunCommand(const std::string& command, int timeoutSec) {
    SCommandResult result;
    const std::string bounded = "timeout -k 2 " + std::to_string(timeoutSec) + " " + command;
    FILE* pipe = popen(bounded.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string ProbeValue(const std::string& output, const std::string& key) {
    const std::string prefix = key + "=";
    std::size_t at = output.rfind(prefix, 0) == 0 ? 0 : output.find("\n" + prefix);
    if (at == std::string::npos) return {};
    if (at != 0) ++at;
    const auto end = output.find('\n', at);
    return output.substr(at + prefix.size(), end == std::string::npos ? std::string::npos : end - at - prefix.size());
}

CRawConnection::CRawConnection(int port) {
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_fd >= 0 && connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(m_fd);
        m_fd = -1;
    }
}

CRawConnection::~CRawConnection() {
    if (m_fd >= 0) close(m_fd);
}

bool CRawConnection::Send(const std::string& data) {
    return m_fd >= 0 && send(m_fd, data.data(), data.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(data.size());
}

std::string CRawConnection::Receive(std::chrono::milliseconds timeout, std::size_t maxBytes) {
    std::string data;
    pollfd wait{m_fd, POLLIN, 0};
    if (m_fd < 0 || poll(&wait, 1, static_cast<int>(timeout.count())) <= 0) return data;
    data.resize(maxBytes);
    const ssize_t n = recv(m_fd, data.data(), maxBytes, 0);
    data.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return data;
}

bool CRawConnection::WaitForClose(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    char buffer[65536];
    while (m_fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd wait{m_fd, POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(left.count())) <= 0) return false;
        if (recv(m_fd, buffer, sizeof buffer, 0) <= 0) return true;
    }
    return false;
}

}  // namespace camsimtest
