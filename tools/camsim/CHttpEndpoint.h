#pragma once

#include <httplib.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace camsim {

// One loopback HTTP listener with its own accept thread and worker pool. It can be stopped
// and started again on the same port, which is how the camera becomes unreachable and back.
class CHttpEndpoint {
public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    // workers bounds how many connections are served at once (streams hold one each).
    CHttpEndpoint(Handler handler, std::size_t workers);
    ~CHttpEndpoint();
    CHttpEndpoint(const CHttpEndpoint&) = delete;
    CHttpEndpoint& operator=(const CHttpEndpoint&) = delete;

    // port 0 picks a free port the first time; later starts reuse the port first bound.
    bool Start(int port, std::string& error);
    // Stops accepting and waits until every connection has finished.
    void Stop();
    int Port() const { return m_port; }
    bool Running() const;

private:
    const Handler m_handler;
    const std::size_t m_workers;
    int m_port = 0;
    mutable std::mutex m_mutex;  // guards m_server and m_thread against concurrent Start/Stop
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;  // runs m_server's accept loop
};

}  // namespace camsim
