// MD5 message digest (RFC 1321), used for Digest authorization towards the
// camera's web and RTSP servers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace talvex {

using Md5Digest = std::array<uint8_t, 16>;

class CMd5 {
public:
    CMd5();
    void Update(const uint8_t* data, std::size_t size);
    void Update(std::string_view text);
    // Completes the digest; the object must not be updated afterwards.
    Md5Digest Finish();

private:
    void Transform(const uint8_t* block);

    std::array<uint32_t, 4> m_state;
    uint64_t m_totalBytes = 0;
    std::array<uint8_t, 64> m_block{};
    std::size_t m_blockFill = 0;
};

// The digest of the text's bytes as 32 lowercase hexadecimal characters.
std::string Md5Hex(std::string_view text);

}  // namespace talvex
