// The RTP test vectors of tests/data/rtp (made by scripts/make-test-vectors.sh)
// and a stand-in channel that collects what a depacketizer delivers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

#include "CHostSampleAllocator.h"
#include "base/Base64.h"
#include "parsers/IMediaParserClient.h"
#include "rtsp/CRTPPacket.h"

namespace wftest {

using Bytes = std::vector<uint8_t>;

inline Bytes ReadWholeFile(const std::string& path) {
    Bytes bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        uint8_t chunk[65536];
        std::size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
        std::fclose(file);
    }
    return bytes;
}

struct SRtpVector {
    std::vector<Bytes> packets;  // whole RTP packets, in sending order
    Bytes elementaryStream;      // what the payloader was given
    std::string caps;            // the payloader's caps
};

#ifdef WF_TEST_DATA_DIR
inline std::string RtpVectorPath(const std::string& name) { return std::string(WF_TEST_DATA_DIR) + "/rtp/" + name; }

inline SRtpVector LoadRtpVector(const std::string& name) {
    SRtpVector vector;
    const Bytes framed = ReadWholeFile(RtpVectorPath(name + ".rtp"));
    for (std::size_t pos = 0; framed.size() - pos >= 2;) {
        const std::size_t length = static_cast<std::size_t>(framed[pos] << 8 | framed[pos + 1]);
        pos += 2;
        if (framed.size() - pos < length) break;
        vector.packets.emplace_back(framed.begin() + static_cast<std::ptrdiff_t>(pos),
                                    framed.begin() + static_cast<std::ptrdiff_t>(pos + length));
        pos += length;
    }
    vector.elementaryStream = ReadWholeFile(RtpVectorPath(name + ".es"));
    const Bytes caps = ReadWholeFile(RtpVectorPath(name + ".caps"));
    vector.caps.assign(caps.begin(), caps.end());
    return vector;
}
#endif

// The value of a caps field such as sprop-parameter-sets=(string)"..." or config=(string)...
inline std::string CapsField(const std::string& caps, const std::string& field) {
    const std::size_t at = caps.find(field + "=(string)");
    if (at == std::string::npos) return {};
    std::size_t pos = at + field.size() + 9;
    const bool quoted = pos < caps.size() && caps[pos] == '"';
    if (quoted) ++pos;
    std::string value;
    for (; pos < caps.size(); ++pos) {
        const char c = caps[pos];
        if (c == '\\') continue;
        if (quoted ? c == '"' : (c == ',' || c == '\n')) break;
        value += c;
    }
    return value;
}

// The two parameter sets of sprop-parameter-sets.
inline std::pair<Bytes, Bytes> SpropParameterSets(const std::string& caps) {
    const std::string sprop = CapsField(caps, "sprop-parameter-sets");
    const std::size_t comma = sprop.find(',');
    if (comma == std::string::npos) return {};
    auto sps = talvex::Base64Decode(sprop.substr(0, comma));
    auto pps = talvex::Base64Decode(sprop.substr(comma + 1));
    return {sps.value_or(Bytes{}), pps.value_or(Bytes{})};
}

inline Bytes HexBytes(const std::string& hex) {
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// Annex B NAL units (without start codes) of a byte stream; trailing zero
// bytes belong to the next start code.
inline std::vector<Bytes> SplitNalUnits(const Bytes& stream) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i + 3 <= stream.size(); ++i)
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) starts.push_back(i + 3);
    std::vector<Bytes> units;
    for (std::size_t k = 0; k < starts.size(); ++k) {
        std::size_t end = k + 1 < starts.size() ? starts[k + 1] - 3 : stream.size();
        while (end > starts[k] && stream[end - 1] == 0) --end;
        units.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(starts[k]),
                           stream.begin() + static_cast<std::ptrdiff_t>(end));
    }
    return units;
}

struct SDeliveredPicture {
    Bytes data;
    uint32_t fourcc = 0;
    uint32_t requestedFourCC = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t sizeClass = 0;
    uint32_t bufferSize = 0;
    bool timeSet = false;
    SYSTEMTIME time{};
};

class CCollectingClient final : public talvex::IMediaParserClient {
public:
    bool OnFrame(talvex::ipcapture::IHostMediaSample* sample) override {
        auto* s = static_cast<CHostMediaSample*>(sample);
        SDeliveredPicture picture;
        picture.data = s->Data();
        picture.fourcc = s->fourcc;
        picture.requestedFourCC = s->requestedFourCC;
        picture.width = s->width;
        picture.height = s->height;
        picture.sizeClass = s->sizeClass;
        picture.bufferSize = static_cast<uint32_t>(s->buffer.size());
        picture.timeSet = s->timeSet;
        picture.time = s->time;
        pictures.push_back(std::move(picture));
        return accept;
    }
    std::pair<uint32_t, uint32_t> GetPictureSize() override { return {0, 0}; }

    std::vector<SDeliveredPicture> pictures;
    bool accept = true;
};

// An RTP packet (payload type 96, SSRC 01 02 03 04) around a payload.
inline Bytes RtpPacket(uint16_t sequence, bool marker, const Bytes& payload, uint32_t timestamp = 3000) {
    Bytes p = {0x80, static_cast<uint8_t>(marker ? 0xE0 : 0x60), static_cast<uint8_t>(sequence >> 8),
               static_cast<uint8_t>(sequence), static_cast<uint8_t>(timestamp >> 24),
               static_cast<uint8_t>(timestamp >> 16), static_cast<uint8_t>(timestamp >> 8),
               static_cast<uint8_t>(timestamp), 1, 2, 3, 4};
    for (uint8_t byte : payload) p.push_back(byte);
    return p;
}

inline Bytes Concat(Bytes a, const Bytes& b) {
    for (uint8_t byte : b) a.push_back(byte);
    return a;
}

// Runs a shell command and returns its standard output, or nothing when the
// tool cannot run here.
inline std::optional<std::string> RunTool(const std::string& command) {
#ifdef _WIN32
    (void)command;
    return std::nullopt;
#else
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::string output;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, got);
    if (pclose(pipe) != 0) return std::nullopt;
    return output;
#endif
}

// A file name of this process alone in the test's temporary folder: the
// sanitizer builds and other checkouts may run the same test at once.
inline std::string ScratchPath(const std::string& name) {
#if defined(_WIN32)
    const long pid = static_cast<long>(_getpid());
#else
    const long pid = static_cast<long>(getpid());
#endif
    return testing::TempDir() + "wf-" + std::to_string(pid) + "-" + name;
}

inline bool HaveTool(const std::string& name) { return RunTool(name + " -version >/dev/null 2>&1").has_value(); }

// Writes the pictures one after another to a file and has ffprobe report
// the stream's size and ffmpeg decode it: "width,height\n" followed by any
// decoder complaint; nothing when the tools cannot run. trimTail bytes are
// left off the last picture.
inline std::optional<std::string> ProbeAndDecode(const std::vector<SDeliveredPicture>& pictures, const std::string& path,
                                                 std::size_t trimTail = 0) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return std::nullopt;
    for (std::size_t i = 0; i < pictures.size(); ++i)
        std::fwrite(pictures[i].data.data(), 1, pictures[i].data.size() - (i + 1 == pictures.size() ? trimTail : 0), file);
    std::fclose(file);
    const auto probe = RunTool("ffprobe -v error -show_entries stream=width,height -of csv=p=0 '" + path + "' 2>&1");
    const auto decode = RunTool("ffmpeg -v error -i '" + path + "' -f null - 2>&1");
    std::remove(path.c_str());
    if (!probe || !decode) return std::nullopt;
    return *probe + *decode;
}

// Feeds whole RTP packets through CRTPPacket::Parse.
template <typename TParser>
void FeedPackets(TParser& parser, const std::vector<Bytes>& packets) {
    talvex::CRTPPacket packet;
    for (const Bytes& bytes : packets)
        if (packet.Parse(bytes.data(), bytes.size())) parser.ProcessPacket(packet);
}

inline std::string FourCC(uint32_t code) {
    return std::string{static_cast<char>(code), static_cast<char>(code >> 8), static_cast<char>(code >> 16),
                       static_cast<char>(code >> 24)};
}

// Loss, reordering and duplication at one place of a packet sequence.
enum class EFault { Drop, Swap, Duplicate };

struct SFaultRun {
    std::vector<Bytes> packets;
    std::size_t lastAffected;  // the last original packet the fault touches
};

inline SFaultRun InjectFault(const std::vector<Bytes>& packets, EFault fault, std::size_t at) {
    SFaultRun run{packets, at};
    switch (fault) {
        case EFault::Drop: run.packets.erase(run.packets.begin() + static_cast<std::ptrdiff_t>(at)); break;
        case EFault::Swap:
            std::swap(run.packets[at], run.packets[at + 1]);
            run.lastAffected = at + 1;
            break;
        case EFault::Duplicate:
            run.packets.insert(run.packets.begin() + static_cast<std::ptrdiff_t>(at) + 1, packets[at]);
            break;
    }
    return run;
}

// Feeds every single fault of every kind into a fresh parser and checks the
// loss policy against the clean run: each delivered picture is one of the
// clean pictures, whole and in order; everything before the damaged picture
// arrives; nothing after it until a key picture; everything from the next
// key picture on. Returns the number of runs that broke it.
// A picture is compared through project (for H.264 its slices: a picture
// whose SEI was lost still decodes whole).
template <typename TMakeParser, typename TProject>
int CountFaultPolicyBreaches(const std::vector<Bytes>& packets, TMakeParser makeParser, TProject project,
                             uint32_t keyFourCC, std::string& firstBreach) {
    auto clean = [&](const std::vector<Bytes>& feed) {
        CCollectingClient client;
        auto parser = makeParser(client);
        FeedPackets(*parser, feed);
        for (SDeliveredPicture& p : client.pictures) p.data = project(p.data);
        return client.pictures;
    };
    const std::vector<SDeliveredPicture> reference = clean(packets);
    // How many pictures were complete before and after each packet.
    std::vector<std::size_t> before, after;
    {
        CCollectingClient client;
        auto parser = makeParser(client);
        talvex::CRTPPacket packet;
        for (const Bytes& p : packets) {
            before.push_back(client.pictures.size());
            if (packet.Parse(p.data(), p.size())) parser->ProcessPacket(packet);
            after.push_back(client.pictures.size());
        }
    }
    int breaches = 0;
    for (EFault fault : {EFault::Drop, EFault::Swap, EFault::Duplicate}) {
        for (std::size_t at = 0; at + 1 < packets.size(); ++at) {
            const SFaultRun run = InjectFault(packets, fault, at);
            const std::vector<SDeliveredPicture> got = clean(run.packets);
            // A duplicate of a packet that ends a picture lands in the next one.
            const bool ends = after[at] > before[at];
            const std::size_t damaged = fault == EFault::Duplicate && ends ? after[at] : before[at];
            const std::size_t last = run.lastAffected;
            std::size_t resume = std::max(after[last], before[last] + 1);
            while (resume < reference.size() && reference[resume].fourcc != keyFourCC) ++resume;
            std::vector<bool> delivered(reference.size(), false);
            std::size_t next = 0;
            bool ok = true, sawAfter = false;
            for (const SDeliveredPicture& g : got) {
                std::size_t i = next;
                while (i < reference.size() && reference[i].data != g.data) ++i;
                if (i == reference.size()) {
                    ok = false;  // a partial or corrupt picture
                    break;
                }
                if (i >= damaged && !sawAfter) {
                    sawAfter = true;
                    ok = ok && g.fourcc == keyFourCC;
                }
                delivered[i] = true;
                next = i + 1;
            }
            for (std::size_t i = 0; ok && i < reference.size(); ++i)
                if ((i < damaged || i >= resume) && !delivered[i]) ok = false;
            // A fault that lost nothing (a duplicate that was recognised) may
            // leave the stream whole.
            if (!ok && got.size() == reference.size()) {
                ok = true;
                for (std::size_t i = 0; i < got.size(); ++i) ok = ok && got[i].data == reference[i].data;
            }
            if (!ok && breaches++ == 0)
                firstBreach = "fault " + std::to_string(static_cast<int>(fault)) + " at packet " + std::to_string(at);
        }
    }
    return breaches;
}



}  // namespace wftest
