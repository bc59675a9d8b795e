// Throughput of the HTTP stream cutters (the MJPEG picture cutter over a
// multipart stream, the MPEG-4 plane scan over an elementary stream), read in
// the chunk sizes the HTTP channel uses, each beside memcpy of the same chunks:
// bytes/s, and chunks ("packets") per second as items. Also the MPEG-4 cutter
// on a stream that starts a configuration header and never ends it (a broken
// camera): the time per megabyte must not grow with the header's length.
#include <benchmark/benchmark.h>

#include <cstring>

#include "CFakeDriver.h"
#include "CHostSampleAllocator.h"
#include "parsers/CJpegMediaParser.h"
#include "parsers/CMpegMediaParser.h"

namespace {

class CNullReceiver final : public talvex::IMediaReceiver {
public:
    bool OnMediaSample(talvex::ipcapture::IHostMediaSample*) override { return true; }
};

std::vector<uint8_t> MakeStream(std::size_t pictureBytes, int pictures) {
    std::vector<uint8_t> stream;
    for (int p = 0; p < pictures; ++p) {
        const std::string head = "--boundary\r\nContent-Type: image/jpeg\r\n\r\n";
        stream.insert(stream.end(), head.begin(), head.end());
        const uint8_t start[] = {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x11, 0x08, 0x01, 0xE0, 0x02, 0x80, 0x03};
        stream.insert(stream.end(), std::begin(start), std::end(start));
        for (std::size_t i = 0; i < pictureBytes; ++i) {
            // Entropy-coded data: stuffed 0xFF bytes now and then, as real pictures have.
            stream.push_back(i % 97 == 0 ? 0xFF : static_cast<uint8_t>(i * 13));
            if (i % 97 == 0) stream.push_back(0x00);
        }
        stream.push_back(0xFF);
        stream.push_back(0xD9);
    }
    return stream;
}

using Chunks = std::vector<std::vector<uint8_t>>;

Chunks Cut(const std::vector<uint8_t>& stream, std::size_t chunkSize) {
    Chunks chunks;
    for (std::size_t pos = 0; pos < stream.size(); pos += chunkSize)
        chunks.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(pos),
                            stream.begin() + static_cast<std::ptrdiff_t>(std::min(stream.size(), pos + chunkSize)));
    return chunks;
}

void Report(benchmark::State& state, std::size_t bytes, std::size_t chunks, int pictures) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * chunks));
    state.counters["pictures/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * static_cast<uint64_t>(pictures)),
                           benchmark::Counter::kIsRate);
}

constexpr int kJpegPictures = 20;
constexpr int kMpeg4Planes = 30;

// An elementary stream as the camera sends it: the configuration header (VOS,
// VO, VOL) before every tenth plane, which is a key plane; start-code-free
// plane data between the plane start codes.
std::vector<uint8_t> MakeMpeg4Stream(std::size_t planeBytes, int planes) {
    static const uint8_t kConfig[] = {0x00, 0x00, 0x01, 0xB0, 0x01, 0x00, 0x00, 0x01, 0xB5, 0x89, 0x13,
                                      0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x20, 0x00, 0xC4, 0x8D,
                                      0x8F, 0xFF, 0xFD, 0x0B, 0x04, 0x24, 0x14, 0x63};
    std::vector<uint8_t> stream;
    for (int p = 0; p < planes; ++p) {
        const bool key = p % 10 == 0;
        if (key) stream.insert(stream.end(), std::begin(kConfig), std::end(kConfig));
        stream.insert(stream.end(), {0x00, 0x00, 0x01, 0xB6, static_cast<uint8_t>(key ? 0x10 : 0x50)});
        for (std::size_t i = 0; i < planeBytes; ++i) stream.push_back(static_cast<uint8_t>((i * 31 + p) | 0x10));
    }
    return stream;
}

template <typename TParser>
void RunCutter(benchmark::State& state, const std::vector<uint8_t>& stream, int pictures) {
    const Chunks chunks = Cut(stream, static_cast<std::size_t>(state.range(0)));
    wftest::CFakeDriver driver;
    wftest::CHostSampleAllocator allocator;
    driver.allocator = &allocator;
    CNullReceiver receiver;
    for (auto _ : state) {
        TParser parser(&receiver, &driver, "bench");
        for (const auto& chunk : chunks) parser.Parse(chunk);
    }
    Report(state, stream.size(), chunks.size(), pictures);
}

void BM_JpegCutter(benchmark::State& state) {
    static const std::vector<uint8_t> stream = MakeStream(60000, kJpegPictures);
    RunCutter<talvex::CJpegMediaParser>(state, stream, kJpegPictures);
}
BENCHMARK(BM_JpegCutter)->Arg(1024)->Arg(8192);

void BM_Mpeg4UnendedHeader(benchmark::State& state) {
    const std::size_t megabytes = static_cast<std::size_t>(state.range(0));
    CNullReceiver receiver;
    std::vector<uint8_t> first(4096, 0x55);
    first[2] = 1;
    first[3] = 0xB0;  // 00 00 01 B0: a visual object sequence starts
    first[0] = first[1] = 0;
    const std::vector<uint8_t> more(4096, 0x55);
    for (auto _ : state) {
        talvex::CMpegMediaParser parser(&receiver, nullptr, "bench", "/nonexistent/Mpeg4Parse.so");
        parser.Parse(first);
        for (std::size_t sent = 4096; sent < (megabytes << 20); sent += more.size()) parser.Parse(more);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (megabytes << 20)));
}
BENCHMARK(BM_Mpeg4UnendedHeader)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond);

void BM_Mpeg4Scan(benchmark::State& state) {
    static const std::vector<uint8_t> stream = MakeMpeg4Stream(60000, kMpeg4Planes);
    RunCutter<talvex::CMpegMediaParser>(state, stream, kMpeg4Planes);
}
BENCHMARK(BM_Mpeg4Scan)->Arg(1024)->Arg(8192);

// The floor for both: each chunk copied once into a picture buffer.
void RunMemcpy(benchmark::State& state, const std::vector<uint8_t>& stream, int pictures) {
    const Chunks chunks = Cut(stream, static_cast<std::size_t>(state.range(0)));
    std::vector<uint8_t> picture(stream.size());
    for (auto _ : state) {
        std::size_t pos = 0;
        for (const auto& chunk : chunks) {
            std::memcpy(picture.data() + pos, chunk.data(), chunk.size());
            pos += chunk.size();
        }
        benchmark::DoNotOptimize(picture.data());
        benchmark::ClobberMemory();
    }
    Report(state, stream.size(), chunks.size(), pictures);
}

void BM_MemcpyJpegStream(benchmark::State& state) {
    static const std::vector<uint8_t> stream = MakeStream(60000, kJpegPictures);
    RunMemcpy(state, stream, kJpegPictures);
}
BENCHMARK(BM_MemcpyJpegStream)->Arg(1024)->Arg(8192);

void BM_MemcpyMpeg4Stream(benchmark::State& state) {
    static const std::vector<uint8_t> stream = MakeMpeg4Stream(60000, kMpeg4Planes);
    RunMemcpy(state, stream, kMpeg4Planes);
}
BENCHMARK(BM_MemcpyMpeg4Stream)->Arg(1024)->Arg(8192);

}  // namespace
