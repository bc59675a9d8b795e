#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// One answer of the simulator, from its control port or its camera port.
struct SCamSimReply {
    int status = 0;                             // 0: no answer (connection failed or timed out)
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
};

// One request the simulated camera received, as its log reports it.
struct SCamSimRequest {
    std::uint64_t seq = 0;
    std::string protocol;  // "http" or "rtsp"
    std::string method;
    std::string path;
    std::string query;
    std::string authorization;
    std::int64_t timeMs = 0;
    int status = 0;
};

struct SCamSimPtz {
    int pan = 0;
    int tilt = 0;
    int zoom = 0;
    int focus = 0;
    int iris = 0;
    bool autoFocus = false;
    std::string lastCommand;
    int commands = 0;
    std::map<int, std::string> presets;  // camera slot number -> name
};

// Drives a running simulator through its control API. Plain HTTP/1.1 over loopback, one
// connection per call; no dependency on the driver's own HTTP code.
class CCamSimControl {
public:
    explicit CCamSimControl(int controlPort);

    // GET on any loopback port (also the camera's own pages); extra headers as "Name: value".
    static SCamSimReply HttpGet(int port, const std::string& pathAndQuery,
                                const std::vector<std::string>& headers = {},
                                std::chrono::milliseconds timeout = std::chrono::seconds(5));

    std::vector<SCamSimRequest> Requests(std::uint64_t since = 0) const;
    // Waits until a logged request satisfies match; the matching entry, or nothing at the deadline.
    std::optional<SCamSimRequest> WaitForRequest(const std::function<bool(const SCamSimRequest&)>& match,
                                                 std::chrono::milliseconds timeout) const;
    bool ClearRequests() const;

    bool SetInput(int number, bool active) const;  // numbered from 1, as on the camera
    std::vector<int> Inputs() const;
    std::vector<int> Outputs() const;
    std::optional<SCamSimPtz> Ptz(int channel = 0) const;

    bool Pause() const;
    bool Resume() const;
    bool DropConnections() const;
    // The next count requests (scope "http", "rtsp" or "all") are answered with status.
    bool FailNext(int status, int count = 1, const std::string& scope = "http") const;
    bool SetReachable(bool reachable) const;
    // Later RTSP sessions refuse (false) or offer RTP over UDP.
    bool SetUdpAllowed(bool allowed) const;
    // Later RTSP sessions are answered as usual over UDP, but none of their RTP or RTCP reaches
    // the client's ports (undone by SetUdpAllowed(true) and Reset).
    bool DropUdp() const;
    // Client UDP destinations the simulator withheld so far; -1 when it does not answer.
    long long WithheldUdpDestinations() const;
    // The next count RTSP requests of method (any when empty) are answered only after ms
    // milliseconds, or (ms 0) once released.
    bool HoldRtspNext(int ms, int count = 1, const std::string& method = "") const;
    // Lets every held RTSP request be answered and cancels the holds not yet taken.
    bool ReleaseRtsp() const;
    // RTSP requests held at this moment; -1 when the simulator does not answer.
    int HeldRtspRequests() const;
    bool Reset() const;
    // The next count camera HTTP requests are answered only after ms milliseconds.
    bool DelayNext(int ms, int count = 1) const;
    // Delays not yet taken by a request; -1 when the simulator does not answer.
    int PendingDelays() const;
    // Camera requests being delayed at this moment; -1 when the simulator does not answer.
    int DelayedRequests() const;
    // Every request of the scope is answered with status for the next ms milliseconds.
    bool FailFor(int status, int ms, const std::string& scope = "http") const;
    // The RTSP port alone refuses connections (its sessions end), or accepts them again.
    bool SetRtspRefused(bool refused) const;
    // The camera's RTP sender loses, reorders and duplicates packets with these chances (percent),
    // drawn from a generator seeded with seed; all 0 sends every packet as it is.
    bool SetRtpFaults(int lossPercent, int reorderPercent, int duplicatePercent, unsigned seed = 1) const;
    // A number from /camsim/status; -1 when the simulator does not answer.
    long long StatusNumber(const std::string& field) const;

    SCamSimReply Call(const std::string& actionAndQuery) const;  // GET /camsim/<action>

private:
    bool CallOk(const std::string& actionAndQuery) const;
    std::vector<int> IoLines(const char* key) const;

    const int m_port;
};
