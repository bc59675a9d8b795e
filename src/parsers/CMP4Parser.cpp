#include "parsers/CMP4Parser.h"

namespace talvex {

void CMP4Parser::SetVolHeader(const uint8_t* bytes, std::size_t length) {
    if (bytes == nullptr || length == 0) return;
    m_volHeader.assign(bytes, bytes + length);
}

}  // namespace talvex
