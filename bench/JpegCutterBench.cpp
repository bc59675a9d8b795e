// Throughput of the MJPEG picture cutter over a multipart stream read in the
// chunk sizes the HTTP channel uses, and of the MPEG-4 cutter on a stream
// that starts a configuration header and never ends it (a broken camera):
// the time per megabyte must not grow with the header's length.
#include <benchmark/benchmark.h>

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

void BM_JpegCutter(benchmark::State& state) {
    const std::size_t chunkSize = static_cast<std::size_t>(state.range(0));
    const std::vector<uint8_t> stream = MakeStream(60000, 20);
    wftest::CFakeDriver driver;
    wftest::CHostSampleAllocator allocator;
    driver.allocator = &allocator;
    CNullReceiver receiver;
    std::vector<std::vector<uint8_t>> chunks;
    for (std::size_t pos = 0; pos < stream.size(); pos += chunkSize)
        chunks.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(pos),
                            stream.begin() + static_cast<std::ptrdiff_t>(std::min(stream.size(), pos + chunkSize)));
    for (auto _ : state) {
        talvex::CJpegMediaParser parser(&receiver, &driver, "bench");
        for (const auto& chunk : chunks) parser.Parse(chunk);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    state.counters["pictures/s"] = benchmark::Counter(static_cast<double>(state.iterations() * 20), benchmark::Counter::kIsRate);
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

}  // namespace
