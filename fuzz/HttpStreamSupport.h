// Shared by the HTTP stream cutter fuzz targets: a channel stand-in that keeps
// every picture it is handed, and a feed that cuts the stream into reads of
// the sizes the input's first byte picks, so that the same stream arrives
// split in many ways.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzSupport.h"
#include "parsers/CHttpMediaParser.h"
#include "parsers/IMediaReceiver.h"

namespace wffuzz {

struct SPicture {
    std::vector<uint8_t> bytes;
    uint32_t fourcc = 0;
    bool operator==(const SPicture&) const = default;
};

// Records each picture, read through the sample as a host would.
class CPictureReceiver final : public talvex::IMediaReceiver {
public:
    bool OnMediaSample(talvex::ipcapture::IHostMediaSample* sample) override {
        auto* owned = static_cast<CSample*>(sample);
        owned->Checksum();
        pictures.push_back({owned->Bytes(), owned->FourCC()});
        return true;
    }
    std::vector<SPicture> pictures;
};

// Reads of 1 to 4096 bytes from a small generator seeded by seed; seed 0
// hands the whole stream over in one read.
inline void FeedInReads(talvex::CHttpMediaParser& parser, const uint8_t* data, std::size_t size, uint8_t seed) {
    uint32_t state = seed;
    std::size_t pos = 0;
    while (pos < size) {
        std::size_t take = size - pos;
        if (seed != 0) {
            state = state * 1103515245u + 12345u;
            take = std::min<std::size_t>(take, 1 + (state >> 16) % 4096);
        }
        parser.Parse(std::vector<uint8_t>(data + pos, data + pos + take));
        pos += take;
    }
}

}  // namespace wffuzz
