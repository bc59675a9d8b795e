#include "CCamSimControl.h"

#include "platform/PlatformSocket.h"


#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// One connection for one call; closed on every exit path.
class CConnection {
public:
    CConnection(int port, Clock::time_point deadline)
        : m_socket(talvex::platform::ConnectTcp(talvex::platform::ResolveIPv4("127.0.0.1"),
                                                static_cast<std::uint16_t>(port),
                                                static_cast<std::uint32_t>(MillisecondsLeft(deadline)))) {}
    ~CConnection() {
        if (m_socket != nullptr) talvex::platform::CloseSocket(m_socket);
    }
    CConnection(const CConnection&) = delete;
    CConnection& operator=(const CConnection&) = delete;
    talvex::platform::SocketHandle Socket() const { return m_socket; }

private:
    talvex::platform::SocketHandle m_socket;
};

// Splits the head; true once the head is complete and the body (by Content-Length) too.
bool ParseReply(const std::string& raw, SCamSimReply& reply) {
    const auto headEnd = raw.find("\r\n\r\n");
    if (headEnd == std::string::npos) return false;
    reply.headers.clear();
    std::size_t lineStart = 0;
    std::size_t lineEnd = raw.find("\r\n");
    const std::string statusLine = raw.substr(0, lineEnd);
    const auto space = statusLine.find(' ');
    reply.status = space == std::string::npos ? 0 : std::atoi(statusLine.c_str() + space + 1);
    while (lineEnd < headEnd) {
        lineStart = lineEnd + 2;
        lineEnd = raw.find("\r\n", lineStart);
        const std::string line = raw.substr(lineStart, lineEnd - lineStart);
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        reply.headers[name] = value;
    }
    reply.body = raw.substr(headEnd + 4);
    const auto length = reply.headers.find("content-length");
    return length != reply.headers.end() && reply.body.size() >= std::strtoull(length->second.c_str(), nullptr, 10);
}

// A minimal JSON reader for the control API's answers: objects, arrays, strings, integers, booleans.
struct SJson {
    enum class EType { Null, Bool, Number, String, Array, Object } type = EType::Null;
    long long number = 0;
    bool boolean = false;
    std::string text;
    std::vector<SJson> items;
    std::map<std::string, SJson> members;

    const SJson& operator[](const std::string& key) const {
        static const SJson kNull;
        const auto it = members.find(key);
        return it == members.end() ? kNull : it->second;
    }
};

class CJsonReader {
public:
    explicit CJsonReader(const std::string& text) : m_text(text) {}

    bool Read(SJson& value) {
        SkipSpace();
        if (m_pos >= m_text.size()) return false;
        const char c = m_text[m_pos];
        if (c == '{') return ReadObject(value);
        if (c == '[') return ReadArray(value);
        if (c == '"') { value.type = SJson::EType::String; return ReadString(value.text); }
        if (m_text.compare(m_pos, 4, "true") == 0) { value.type = SJson::EType::Bool; value.boolean = true; m_pos += 4; return true; }
        if (m_text.compare(m_pos, 5, "false") == 0) { value.type = SJson::EType::Bool; m_pos += 5; return true; }
        if (m_text.compare(m_pos, 4, "null") == 0) { m_pos += 4; return true; }
        char* end = nullptr;
        value.number = std::strtoll(m_text.c_str() + m_pos, &end, 10);
        if (end == m_text.c_str() + m_pos) return false;
        value.type = SJson::EType::Number;
        m_pos = static_cast<std::size_t>(end - m_text.c_str());
        return true;
    }

private:
    void SkipSpace() { while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos]))) ++m_pos; }
    bool Expect(char c) { SkipSpace(); if (m_pos < m_text.size() && m_text[m_pos] == c) { ++m_pos; return true; } return false; }

    bool ReadString(std::string& out) {
        if (!Expect('"')) return false;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos++];
            if (c == '"') return true;
            if (c != '\\') { out += c; continue; }
            if (m_pos >= m_text.size()) return false;
            const char e = m_text[m_pos++];
            if (e == 'n') out += '\n';
            else if (e == 'r') out += '\r';
            else if (e == 't') out += '\t';
            else if (e == 'u' && m_pos + 4 <= m_text.size()) { out += static_cast<char>(std::strtol(m_text.substr(m_pos, 4).c_str(), nullptr, 16)); m_pos += 4; }
            else out += e;
        }
        return false;
    }

    bool ReadArray(SJson& value) {
        value.type = SJson::EType::Array;
        Expect('[');
        if (Expect(']')) return true;
        do {
            SJson item;
            if (!Read(item)) return false;
            value.items.push_back(std::move(item));
        } while (Expect(','));
        return Expect(']');
    }

    bool ReadObject(SJson& value) {
        value.type = SJson::EType::Object;
        Expect('{');
        if (Expect('}')) return true;
        do {
            std::string key;
            SkipSpace();
            if (!ReadString(key) || !Expect(':')) return false;
            SJson member;
            if (!Read(member)) return false;
            value.members[key] = std::move(member);
        } while (Expect(','));
        return Expect('}');
    }

    const std::string& m_text;
    std::size_t m_pos = 0;
};

std::optional<SJson> ParseJson(const SCamSimReply& reply) {
    if (reply.status != 200) return std::nullopt;
    SJson value;
    CJsonReader reader(reply.body);
    if (!reader.Read(value)) return std::nullopt;
    return value;
}

}  // namespace

CCamSimControl::CCamSimControl(int controlPort) : m_port(controlPort) {}

SCamSimReply CCamSimControl::HttpGet(int port, const std::string& pathAndQuery,
                                     const std::vector<std::string>& headers, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    SCamSimReply reply;
    CConnection connection(port, deadline);
    if (connection.Socket() == nullptr) return reply;
    std::string request = "GET " + pathAndQuery + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                          "\r\nConnection: close\r\n";
    for (const std::string& header : headers) request += header + "\r\n";
    request += "\r\n";
    if (talvex::platform::SendAll(connection.Socket(), request.data(), request.size()) !=
        talvex::platform::EIoResult::Ok)
        return reply;
    std::string raw;
    char buffer[16384];
    while (true) {
        std::size_t n = 0;
        if (talvex::platform::Receive(connection.Socket(), buffer, sizeof buffer, n,
                                      static_cast<std::uint32_t>(MillisecondsLeft(deadline))) !=
                talvex::platform::EIoResult::Ok ||
            n == 0)
            break;
        raw.append(buffer, n);
        if (ParseReply(raw, reply)) return reply;
    }
    ParseReply(raw, reply);  // closed or timed out: whatever arrived
    return reply;
}

SCamSimReply CCamSimControl::Call(const std::string& actionAndQuery) const {
    return HttpGet(m_port, "/camsim/" + actionAndQuery);
}

bool CCamSimControl::CallOk(const std::string& actionAndQuery) const {
    const auto json = ParseJson(Call(actionAndQuery));
    return json && (*json)["ok"].boolean;
}

std::vector<SCamSimRequest> CCamSimControl::Requests(std::uint64_t since) const {
    std::vector<SCamSimRequest> requests;
    const auto json = ParseJson(Call("requests?since=" + std::to_string(since)));
    if (!json) return requests;
    for (const SJson& item : (*json)["requests"].items) {
        SCamSimRequest r;
        r.seq = static_cast<std::uint64_t>(item["seq"].number);
        r.protocol = item["protocol"].text;
        r.method = item["method"].text;
        r.path = item["path"].text;
        r.query = item["query"].text;
        r.authorization = item["authorization"].text;
        r.timeMs = item["time_ms"].number;
        r.status = static_cast<int>(item["status"].number);
        requests.push_back(std::move(r));
    }
    return requests;
}

std::optional<SCamSimRequest> CCamSimControl::WaitForRequest(const std::function<bool(const SCamSimRequest&)>& match,
                                                             std::chrono::milliseconds timeout) const {
    const auto deadline = Clock::now() + timeout;
    std::uint64_t seen = 0;
    while (true) {
        for (const SCamSimRequest& r : Requests(seen)) {
            seen = std::max(seen, r.seq);
            if (match(r)) return r;
        }
        if (Clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));  // poll interval, bounded by the deadline
    }
}

bool CCamSimControl::ClearRequests() const { return CallOk("requests/clear"); }

bool CCamSimControl::SetInput(int number, bool active) const {
    return CallOk("input?input=" + std::to_string(number) + "&state=" + (active ? "1" : "0"));
}

std::vector<int> CCamSimControl::IoLines(const char* key) const {
    std::vector<int> lines;
    const auto json = ParseJson(Call("io"));
    if (!json) return lines;
    for (const SJson& item : (*json)[key].items) lines.push_back(static_cast<int>(item.number));
    return lines;
}

std::vector<int> CCamSimControl::Inputs() const { return IoLines("inputs"); }
std::vector<int> CCamSimControl::Outputs() const { return IoLines("outputs"); }

std::optional<SCamSimPtz> CCamSimControl::Ptz(int channel) const {
    const auto json = ParseJson(Call("ptz?CH=" + std::to_string(channel)));
    if (!json) return std::nullopt;
    SCamSimPtz ptz;
    ptz.pan = static_cast<int>((*json)["pan"].number);
    ptz.tilt = static_cast<int>((*json)["tilt"].number);
    ptz.zoom = static_cast<int>((*json)["zoom"].number);
    ptz.focus = static_cast<int>((*json)["focus"].number);
    ptz.iris = static_cast<int>((*json)["iris"].number);
    ptz.autoFocus = (*json)["auto_focus"].boolean;
    ptz.lastCommand = (*json)["last_command"].text;
    ptz.commands = static_cast<int>((*json)["commands"].number);
    for (const SJson& preset : (*json)["presets"].items)
        ptz.presets[static_cast<int>(preset["number"].number)] = preset["name"].text;
    return ptz;
}

bool CCamSimControl::Pause() const { return CallOk("pause"); }
bool CCamSimControl::Resume() const { return CallOk("resume"); }
bool CCamSimControl::DropConnections() const { return CallOk("drop"); }
bool CCamSimControl::SetUdpAllowed(bool allowed) const { return CallOk(allowed ? "udp-allow" : "udp-block"); }
bool CCamSimControl::DropUdp() const { return CallOk("udp-drop"); }
long long CCamSimControl::WithheldUdpDestinations() const {
    const auto json = ParseJson(Call("status"));
    if (!json) return -1;
    return (*json)["udp_withheld"].number;
}
bool CCamSimControl::HoldRtspNext(int ms, int count, const std::string& method) const {
    return CallOk("rtsp-hold?ms=" + std::to_string(ms) + "&count=" + std::to_string(count) +
                  (method.empty() ? "" : "&method=" + method));
}
bool CCamSimControl::ReleaseRtsp() const { return CallOk("rtsp-release"); }
int CCamSimControl::HeldRtspRequests() const {
    const auto json = ParseJson(Call("status"));
    if (!json) return -1;
    return static_cast<int>((*json)["rtsp_held"].number);
}
bool CCamSimControl::FailNext(int status, int count, const std::string& scope) const {
    return CallOk("fail?status=" + std::to_string(status) + "&count=" + std::to_string(count) + "&scope=" + scope);
}
bool CCamSimControl::SetReachable(bool reachable) const { return CallOk(reachable ? "reachable" : "unreachable"); }
bool CCamSimControl::Reset() const { return CallOk("reset"); }
bool CCamSimControl::DelayNext(int ms, int count) const {
    return CallOk("delay?ms=" + std::to_string(ms) + "&count=" + std::to_string(count));
}
int CCamSimControl::PendingDelays() const { return static_cast<int>(StatusNumber("delays_pending")); }
int CCamSimControl::DelayedRequests() const { return static_cast<int>(StatusNumber("delayed")); }
long long CCamSimControl::StatusNumber(const std::string& field) const {
    const auto json = ParseJson(Call("status"));
    if (!json) return -1;
    return (*json)[field].number;
}
bool CCamSimControl::FailFor(int status, int ms, const std::string& scope) const {
    return CallOk("fail?status=" + std::to_string(status) + "&ms=" + std::to_string(ms) + "&scope=" + scope);
}
bool CCamSimControl::SetRtspRefused(bool refused) const { return CallOk(refused ? "rtsp-refuse" : "rtsp-accept"); }
bool CCamSimControl::SetRtpFaults(int lossPercent, int reorderPercent, int duplicatePercent, unsigned seed) const {
    return CallOk("rtp-faults?loss=" + std::to_string(lossPercent) + "&reorder=" + std::to_string(reorderPercent) +
                  "&duplicate=" + std::to_string(duplicatePercent) + "&seed=" + std::to_string(seed));
}
