// Throughput of the RTP depacketizers on one core, beside a plain memcpy of
// the same payload bytes: packets per second, payload bytes per second, and
// heap allocations per packet once the parser has reached its steady state.
// The JPEG header build is measured on its own with pictures of one small
// packet each, beside memcpy of the same finished pictures.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "base/IDriver.h"
#include "parsers/CH264RTPMediaParser.h"
#include "parsers/CJpegRTPMediaParser.h"
#include "parsers/CMpeg4RTPMediaParser.h"

namespace {

std::atomic<uint64_t> g_allocations{0};

}  // namespace

// Counts every heap allocation of the process.
void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using Bytes = std::vector<uint8_t>;
constexpr std::size_t kPayloadBytes = 1400;
constexpr std::size_t kPictureBytes = 120000;
constexpr int kPictures = 30;

// One reusable sample, as a host with a pool of them would hand out.
class CBenchSample final : public talvex::ipcapture::IHostMediaSample {
public:
    uint8_t* GetBuffer() override {
        if (buffer.size() < requested) buffer.resize(requested);
        return buffer.data();
    }
    void SetDataSize(unsigned int size) override { dataSize = size; }
    void SetTimeNow() override {}
    void SetTime(const SYSTEMTIME*) override {}
    void SetFourCC(unsigned int) override {}
    void SetHeight(unsigned int) override {}
    void SetWidth(unsigned int) override {}
    void SetSizeClass(unsigned int) override {}
    std::vector<uint8_t> buffer;
    std::size_t requested = 0;
    unsigned int dataSize = 0;
};

class CBenchAllocator final : public talvex::ipcapture::IHostSampleAllocator {
public:
    talvex::ipcapture::IHostMediaSample* CreateSample(unsigned int, unsigned int size, const char*) override {
        sample.requested = size;
        return &sample;
    }
    void ReleaseSample(talvex::ipcapture::IHostMediaSample*) override {}
    CBenchSample sample;
};

class CBenchDriver final : public talvex::IDriver {
public:
    void DebugMessage(int32_t, const char*, ...) override {}
    std::string GetDriverName() override { return "Wrenfield"; }
    talvex::DEVICE_INFO& GetDeviceInfo() override { return device; }
    std::pair<uint32_t, uint32_t> GetIOCounts() override { return {0, 0}; }
    talvex::ipcapture::IHostSampleAllocator* GetSampleAllocator() override { return &allocator; }
    int32_t GetFlagParam() override { return 0; }
    int32_t GetStreamType() override { return 0; }
    uint32_t GetChannelCount() override { return 1; }
    std::string GetAddressWithPort() override { return {}; }
    std::string GetCustomParam(unsigned int) override { return {}; }
    int32_t GetCustomParamInt(unsigned int) override { return 0; }
    talvex::DEVICE_INFO device;
    CBenchAllocator allocator;
};

class CBenchClient final : public talvex::IMediaParserClient {
public:
    bool OnFrame(talvex::ipcapture::IHostMediaSample*) override {
        ++pictures;
        return true;
    }
    std::pair<uint32_t, uint32_t> GetPictureSize() override { return {0, 0}; }
    uint64_t pictures = 0;
};

struct SStream {
    std::vector<talvex::CRTPPacket> packets;
    uint64_t payloadBytes = 0;
};

void AddPacket(SStream& stream, uint16_t& sequence, uint32_t timestamp, bool marker, const Bytes& payload) {
    Bytes raw = {0x80, static_cast<uint8_t>((marker ? 0x80 : 0) | 96), static_cast<uint8_t>(sequence >> 8),
                 static_cast<uint8_t>(sequence), static_cast<uint8_t>(timestamp >> 24),
                 static_cast<uint8_t>(timestamp >> 16), static_cast<uint8_t>(timestamp >> 8),
                 static_cast<uint8_t>(timestamp), 1, 2, 3, 4};
    raw.insert(raw.end(), payload.begin(), payload.end());
    talvex::CRTPPacket packet;
    packet.Parse(raw.data(), raw.size());
    stream.payloadBytes += payload.size();
    stream.packets.push_back(std::move(packet));
    ++sequence;
}

Bytes Filler(std::size_t size, uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 31 + seed) | 0x10);
    return bytes;
}

const Bytes kSps = {0x67, 0x42, 0xC0, 0x28, 0xDA, 0x01, 0xE0, 0x08, 0x9F, 0x97, 0x01, 0x6A, 0x02, 0x02, 0x02, 0x80};
const Bytes kPps = {0x68, 0xCE, 0x01, 0x37, 0x20};

// Each picture: one slice in FU-A fragments; every tenth an IDR with SPS and PPS in STAP-A.
SStream MakeH264Stream() {
    SStream s;
    uint16_t sequence = 0;
    for (int p = 0; p < kPictures; ++p) {
        const uint32_t ts = 3000u * static_cast<uint32_t>(p + 1);
        const bool idr = p % 10 == 0;
        if (idr) {
            Bytes stap = {0x78, 0, static_cast<uint8_t>(kSps.size())};
            stap.insert(stap.end(), kSps.begin(), kSps.end());
            stap.insert(stap.end(), {0, static_cast<uint8_t>(kPps.size())});
            stap.insert(stap.end(), kPps.begin(), kPps.end());
            AddPacket(s, sequence, ts, false, stap);
        }
        const Bytes slice = Filler(kPictureBytes, static_cast<uint8_t>(p));
        for (std::size_t pos = 0; pos < slice.size(); pos += kPayloadBytes - 2) {
            const std::size_t n = std::min(kPayloadBytes - 2, slice.size() - pos);
            const bool first = pos == 0, last = pos + n == slice.size();
            Bytes fu = {static_cast<uint8_t>(idr ? 0x7C : 0x5C),
                        static_cast<uint8_t>((first ? 0x80 : 0) | (last ? 0x40 : 0) | (idr ? 5 : 1))};
            if (first) fu.push_back(0x88);  // first_mb_in_slice 0
            fu.insert(fu.end(), slice.begin() + static_cast<std::ptrdiff_t>(pos),
                      slice.begin() + static_cast<std::ptrdiff_t>(pos + n - (first ? 1 : 0)));
            AddPacket(s, sequence, ts, last, fu);
        }
    }
    return s;
}

SStream MakeJpegStream() {
    SStream s;
    uint16_t sequence = 0;
    for (int p = 0; p < kPictures; ++p) {
        const Bytes scan = Filler(kPictureBytes, static_cast<uint8_t>(p));
        for (std::size_t pos = 0; pos < scan.size(); pos += kPayloadBytes - 8) {
            const std::size_t n = std::min(kPayloadBytes - 8, scan.size() - pos);
            Bytes payload = {0, static_cast<uint8_t>(pos >> 16), static_cast<uint8_t>(pos >> 8), static_cast<uint8_t>(pos),
                             1, 50, 80, 60};
            payload.insert(payload.end(), scan.begin() + static_cast<std::ptrdiff_t>(pos),
                           scan.begin() + static_cast<std::ptrdiff_t>(pos + n));
            AddPacket(s, sequence, 3000u * static_cast<uint32_t>(p + 1), pos + n == scan.size(), payload);
        }
    }
    return s;
}

SStream MakeMpeg4Stream() {
    static const Bytes kConfig = {0x00, 0x00, 0x01, 0xB0, 0x01, 0x00, 0x00, 0x01, 0xB5, 0x89, 0x13, 0x00, 0x00, 0x01, 0x00,
                                  0x00, 0x00, 0x01, 0x20, 0x00, 0xC4, 0x8D, 0x8F, 0xFF, 0xFD, 0x0B, 0x04, 0x24, 0x14, 0x63};
    SStream s;
    uint16_t sequence = 0;
    for (int p = 0; p < kPictures; ++p) {
        Bytes picture = p % 10 == 0 ? kConfig : Bytes{};
        picture.insert(picture.end(), {0x00, 0x00, 0x01, 0xB6, static_cast<uint8_t>(p % 10 == 0 ? 0x10 : 0x50)});
        const Bytes body = Filler(kPictureBytes, static_cast<uint8_t>(p));
        picture.insert(picture.end(), body.begin(), body.end());
        for (std::size_t pos = 0; pos < picture.size(); pos += kPayloadBytes) {
            const std::size_t n = std::min(kPayloadBytes, picture.size() - pos);
            AddPacket(s, sequence, 3000u * static_cast<uint32_t>(p + 1), pos + n == picture.size(),
                      Bytes(picture.begin() + static_cast<std::ptrdiff_t>(pos),
                            picture.begin() + static_cast<std::ptrdiff_t>(pos + n)));
        }
    }
    return s;
}

// Pictures of one packet with a short scan, so that writing the JPEG header
// (tables, frame and scan headers, Huffman tables) is nearly all the work; Q
// 50 throughout, or a new Q (new tables) in every picture.
constexpr std::size_t kSmallScanBytes = 64;
template <bool kNewTablesEachPicture>
SStream MakeJpegHeaderStream() {
    SStream s;
    uint16_t sequence = 0;
    const Bytes scan = Filler(kSmallScanBytes, 7);
    for (int p = 0; p < 10 * kPictures; ++p) {
        const uint8_t q = kNewTablesEachPicture ? static_cast<uint8_t>(1 + p % 99) : 50;
        Bytes payload = {0, 0, 0, 0, 1, q, 80, 60};
        payload.insert(payload.end(), scan.begin(), scan.end());
        AddPacket(s, sequence, 3000u * static_cast<uint32_t>(p + 1), true, payload);
    }
    return s;
}

void Report(benchmark::State& state, const SStream& stream, uint64_t allocations) {
    const auto iterations = static_cast<int64_t>(state.iterations());
    state.SetBytesProcessed(iterations * static_cast<int64_t>(stream.payloadBytes));
    state.SetItemsProcessed(iterations * static_cast<int64_t>(stream.packets.size()));
    state.counters["allocs/packet"] =
        static_cast<double>(allocations) / static_cast<double>(iterations * static_cast<int64_t>(stream.packets.size()));
}

// The stream is fed again and again; its first packet after a lap is a gap,
// which only resets an empty picture, and each lap starts with a key picture.
template <typename TParser>
void RunParser(benchmark::State& state, const SStream& stream, TParser& parser) {
    for (const auto& packet : stream.packets) parser.ProcessPacket(packet);  // reach the steady state
    const uint64_t before = g_allocations.load();
    for (auto _ : state)
        for (const auto& packet : stream.packets) parser.ProcessPacket(packet);
    Report(state, stream, g_allocations.load() - before);
}

void BM_H264(benchmark::State& state) {
    static const SStream stream = MakeH264Stream();
    CBenchDriver driver;
    CBenchClient client;
    talvex::CH264RTPMediaParser parser(&driver, "bench");
    parser.SetClient(&client);
    RunParser(state, stream, parser);
    if (client.pictures == 0) state.SkipWithError("no pictures delivered");
}
BENCHMARK(BM_H264);

void BM_Jpeg(benchmark::State& state) {
    static const SStream stream = MakeJpegStream();
    CBenchDriver driver;
    CBenchClient client;
    talvex::CJpegRTPMediaParser parser(&driver, "bench");
    parser.SetClient(&client);
    RunParser(state, stream, parser);
    if (client.pictures == 0) state.SkipWithError("no pictures delivered");
}
BENCHMARK(BM_Jpeg);

void BM_Mpeg4(benchmark::State& state) {
    static const SStream stream = MakeMpeg4Stream();
    CBenchDriver driver;
    CBenchClient client;
    talvex::CMpeg4RTPMediaParser parser(&driver, "bench");
    parser.SetClient(&client);
    RunParser(state, stream, parser);
    if (client.pictures == 0) state.SkipWithError("no pictures delivered");
}
BENCHMARK(BM_Mpeg4);

template <bool kNewTablesEachPicture>
void BM_JpegHeader(benchmark::State& state) {
    static const SStream stream = MakeJpegHeaderStream<kNewTablesEachPicture>();
    CBenchDriver driver;
    CBenchClient client;
    talvex::CJpegRTPMediaParser parser(&driver, "bench");
    parser.SetClient(&client);
    RunParser(state, stream, parser);
    if (client.pictures == 0) state.SkipWithError("no pictures delivered");
    state.counters["picture_bytes"] = driver.allocator.sample.dataSize;
    state.counters["pictures/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(stream.packets.size()), benchmark::Counter::kIsRate);
}
BENCHMARK_TEMPLATE(BM_JpegHeader, false);
BENCHMARK_TEMPLATE(BM_JpegHeader, true);

// Its floor: the finished pictures (header and scan) copied once each.
void BM_MemcpyJpegHeader(benchmark::State& state) {
    static const SStream stream = MakeJpegHeaderStream<false>();
    CBenchDriver driver;
    CBenchClient client;
    talvex::CJpegRTPMediaParser parser(&driver, "bench");
    parser.SetClient(&client);
    parser.ProcessPacket(stream.packets.front());
    const std::size_t size = driver.allocator.sample.dataSize;
    const Bytes picture(driver.allocator.sample.buffer.begin(),
                        driver.allocator.sample.buffer.begin() + static_cast<std::ptrdiff_t>(size));
    Bytes target(size);
    const uint64_t before = g_allocations.load();
    for (auto _ : state) {
        for (std::size_t i = 0; i < stream.packets.size(); ++i) {
            std::memcpy(target.data(), picture.data(), size);
            benchmark::ClobberMemory();
        }
    }
    Report(state, stream, g_allocations.load() - before);
    state.counters["picture_bytes"] = static_cast<double>(size);
    state.counters["pictures/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(stream.packets.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MemcpyJpegHeader);

// The floor: each payload of the same stream copied once into a reused
// picture buffer, one run per codec's stream.
template <SStream (*MakeStream)()>
void BM_Memcpy(benchmark::State& state) {
    static const SStream stream = MakeStream();
    std::vector<uint8_t> picture(4 * kPictureBytes);
    const uint64_t before = g_allocations.load();
    for (auto _ : state) {
        std::size_t pos = 0;
        for (const auto& packet : stream.packets) {
            if (pos + packet.PayloadLength() > picture.size() || packet.Marker()) pos = 0;
            std::memcpy(picture.data() + pos, packet.Payload(), packet.PayloadLength());
            pos += packet.PayloadLength();
        }
        benchmark::DoNotOptimize(picture.data());
        benchmark::ClobberMemory();
    }
    Report(state, stream, g_allocations.load() - before);
}
BENCHMARK_TEMPLATE(BM_Memcpy, MakeH264Stream);
BENCHMARK_TEMPLATE(BM_Memcpy, MakeJpegStream);
BENCHMARK_TEMPLATE(BM_Memcpy, MakeMpeg4Stream);

}  // namespace
