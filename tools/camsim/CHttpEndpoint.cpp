#include "CHttpEndpoint.h"

#include <chrono>

namespace camsim {

CHttpEndpoint::CHttpEndpoint(Handler handler, std::size_t workers)
    : m_handler(std::move(handler)), m_workers(workers) {}

CHttpEndpoint::~CHttpEndpoint() { Stop(); }

bool CHttpEndpoint::Start(int port, std::string& error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_server) return true;
    auto server = std::make_unique<httplib::Server>();
    const std::size_t workers = m_workers;
    server->new_task_queue = [workers] { return new httplib::ThreadPool(workers); };
    server->set_read_timeout(5, 0);
    server->set_write_timeout(5, 0);
    // Stopping the server waits for idle kept connections to time out, so a
    // short keep-alive lets "unreachable" take effect (and answer) promptly.
    server->set_keep_alive_timeout(1);
    server->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        m_handler(request, response);
        return httplib::Server::HandlerResponse::Handled;
    });
    // A handler that throws must not take the camera down; the client sees a 500.
    server->set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
        response.status = 500;
        response.set_content("Error=internal<br>", "text/plain");
    });
    const int wanted = m_port != 0 ? m_port : port;
    if (wanted == 0) {
        m_port = server->bind_to_any_port("127.0.0.1");
        if (m_port <= 0) {
            error = "cannot bind an HTTP port";
            return false;
        }
    } else if (!server->bind_to_port("127.0.0.1", wanted)) {
        error = "cannot bind HTTP port " + std::to_string(wanted);
        return false;
    } else {
        m_port = wanted;
    }
    m_server = std::move(server);
    m_thread = std::thread([server = m_server.get()] { server->listen_after_bind(); });
    // stop() is ignored until the accept loop runs, so Stop() right after Start() would hang.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!m_server->is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void CHttpEndpoint::Stop() {
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        server = std::move(m_server);
        thread = std::move(m_thread);
    }
    if (!server) return;
    server->stop();
    if (thread.joinable()) thread.join();  // the accept loop joins its workers before returning
}

bool CHttpEndpoint::Running() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_server != nullptr;
}

}  // namespace camsim
