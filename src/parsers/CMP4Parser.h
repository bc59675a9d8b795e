// The configuration headers of an MPEG-4 stream (visual object sequence,
// visual object, video object layer): those last seen in band, or else those
// of the session description.
#pragma once

#include <cstdint>
#include <vector>

namespace talvex {

class CMP4Parser {
public:
    CMP4Parser() = default;
    virtual ~CMP4Parser() = default;

    // Headers that arrived in band; they replace the earlier ones.
    void SetVolHeader(const uint8_t* bytes, std::size_t length);
    // The session description's "config": used until headers arrive in band.
    void SetConfig(const std::vector<uint8_t>& config) { m_config = config; }
    // The headers to put in front of a key picture; empty when none are known.
    const std::vector<uint8_t>& VolHeader() const { return m_volHeader.empty() ? m_config : m_volHeader; }

private:
    std::vector<uint8_t> m_volHeader;
    std::vector<uint8_t> m_config;
};

}  // namespace talvex
