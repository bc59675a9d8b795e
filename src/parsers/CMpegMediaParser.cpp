#include "parsers/CMpegMediaParser.h"

#include <algorithm>
#include <cstring>

#include "parsers/Mpeg4VideoHeader.h"
#include "parsers/SampleSizes.h"

namespace talvex {

namespace {

// 00 00 01 xx: the start-code prefix and the code byte.
constexpr std::size_t kStartCodeBytes = 4;
constexpr uint8_t kSequenceCode = 0xB0;
constexpr uint8_t kVideoObjectCode = 0x00;
constexpr uint8_t kPlaneCode = 0xB6;
// The plane's coding type is the top two bits after its start code; 00 is an
// intra (key) plane.
constexpr uint8_t kCodingTypeMask = 0xC0;

int32_t WF_STDCALL BuiltInHeaderParser(uint8_t* bytes, uint32_t size, uint32_t* width, uint32_t* height) {
    uint32_t readWidth = 0;
    uint32_t readHeight = 0;
    if (!ReadVideoSize(bytes, size, readWidth, readHeight)) return 0;
    *width = readWidth;
    *height = readHeight;
    return 1;
}

}  // namespace

CMpegMediaParser::CMpegMediaParser(IMediaReceiver* receiver, IDriver* driver, std::string name,
                                   const std::string& libraryPath)
    : CHttpMediaParser(receiver, driver, std::move(name)) {
    m_library = platform::LoadModule(libraryPath.empty() ? platform::SharedLibraryFileName(kHeaderLibrary)
                                                         : libraryPath);
    if (m_library != nullptr) {
        void* entry = platform::FindSymbol(m_library, "ParseMpegHeader");
        if (entry == nullptr) entry = platform::FindSymbol(m_library, "_ParseMpegHeader@16");
        if (entry != nullptr) {
            static_assert(sizeof(entry) == sizeof(m_parseHeader));
            std::memcpy(&m_parseHeader, &entry, sizeof(entry));
        }
    }
    // An installation without the library, or with a library that lacks the
    // entry, still gets picture sizes: from the reader built in here.
    if (m_parseHeader == nullptr) m_parseHeader = &BuiltInHeaderParser;
}

CMpegMediaParser::~CMpegMediaParser() { platform::FreeModule(m_library); }

bool CMpegMediaParser::UsesHeaderLibrary() const { return m_parseHeader != &BuiltInHeaderParser; }

void CMpegMediaParser::Parse(const std::vector<uint8_t>& chunk) {
    m_frameBuffer.insert(m_frameBuffer.end(), chunk.begin(), chunk.end());
    Scan();
    if (m_consumed > 0) {
        m_frameBuffer.erase(m_frameBuffer.begin(), m_frameBuffer.begin() + static_cast<std::ptrdiff_t>(m_consumed));
        m_scanPos = m_scanPos > m_consumed ? m_scanPos - m_consumed : 0;
        m_headerSearchPos = m_headerSearchPos > m_consumed ? m_headerSearchPos - m_consumed : 0;
        m_consumed = 0;
    }
    if (!CheckBufferSize()) Resync();
}

bool CMpegMediaParser::StartCodeAt(std::size_t pos, uint8_t code) const {
    const uint8_t* bytes = m_frameBuffer.data() + pos;
    return bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 1 && bytes[3] == code;
}

void CMpegMediaParser::Scan() {
    // A start code needs its four bytes and the plane's coding type the byte
    // after them, so the last four bytes wait for the next read.
    while (m_scanPos + kStartCodeBytes < m_frameBuffer.size()) {
        // Only a start code changes anything: memchr finds the 01 of the
        // next 00 00 01 candidate, far faster than a byte-by-byte look.
        const uint8_t* bytes = m_frameBuffer.data();
        const std::size_t end = m_frameBuffer.size() - kStartCodeBytes;
        const void* one = std::memchr(bytes + m_scanPos + 2, 1, end - m_scanPos);
        if (one == nullptr) {
            m_scanPos = end;
            break;
        }
        const std::size_t candidate = static_cast<std::size_t>(static_cast<const uint8_t*>(one) - bytes) - 2;
        if (bytes[candidate] != 0 || bytes[candidate + 1] != 0) {
            m_scanPos = candidate + 1;
            continue;
        }
        m_scanPos = candidate;
        if (StartCodeAt(m_scanPos, kSequenceCode) || StartCodeAt(m_scanPos, kVideoObjectCode)) {
            // The header begins at the visual object sequence when the camera
            // sends one, else at the video object; a video object code inside
            // the header just taken is part of it.
            if (m_scanPos >= m_consumed) {
                EmitPendingPlane();
                if (!TakeConfigHeader()) return;  // the header ends in a later read
            }
        } else if (StartCodeAt(m_scanPos, kPlaneCode)) {
            EmitPendingPlane();
            m_isKey = (m_frameBuffer[m_scanPos + kStartCodeBytes] & kCodingTypeMask) == 0;
        }
        ++m_scanPos;
    }
}

bool CMpegMediaParser::TakeConfigHeader() {
    // A header still waiting for its plane is searched on from where the last
    // read left off, not from its start again: a long header arriving in many
    // reads would otherwise cost time in the square of its length.
    std::size_t pos = std::max(m_scanPos + kStartCodeBytes, m_headerSearchPos);
    for (; pos + kStartCodeBytes < m_frameBuffer.size(); ++pos) {
        if (!StartCodeAt(pos, kPlaneCode)) continue;
        // A repeated header replaces the one kept; its bytes are never a
        // sample of their own.
        m_configHeader.assign(m_frameBuffer.begin() + static_cast<std::ptrdiff_t>(m_scanPos),
                              m_frameBuffer.begin() + static_cast<std::ptrdiff_t>(pos));
        m_consumed = pos;
        m_headerSearchPos = 0;
        return true;
    }
    m_headerSearchPos = pos;
    return false;
}

void CMpegMediaParser::EmitPendingPlane() {
    if (m_consumed >= m_scanPos) return;
    bool deliver = true;
    if (m_waitKey) {
        if (m_isKey) m_waitKey = false;
        else deliver = false;  // a stream joined mid-group waits for its first key plane
    }
    if (deliver) {
        const auto first = m_frameBuffer.begin() + static_cast<std::ptrdiff_t>(m_consumed);
        const auto last = m_frameBuffer.begin() + static_cast<std::ptrdiff_t>(m_scanPos);
        m_sample.clear();
        if (m_isKey) m_sample.assign(m_configHeader.begin(), m_configHeader.end());
        m_sample.insert(m_sample.end(), first, last);
        const bool sized = !m_isKey || ReadPictureSize();
        if (sized) Deliver(m_isKey);
        // A key plane whose size cannot be read would leave the host unable
        // to place the pictures that follow: wait for the next one.
        m_waitKey = !sized;
    }
    m_isKey = false;
    m_consumed = m_scanPos;
}

bool CMpegMediaParser::ReadPictureSize() {
    if (m_parseHeader == nullptr || m_sample.size() > UINT32_MAX) return false;
    uint32_t width = 0;
    uint32_t height = 0;
    if (m_parseHeader(m_sample.data(), static_cast<uint32_t>(m_sample.size()), &width, &height) <= 0) return false;
    m_width = width;
    m_height = height;
    return true;
}

void CMpegMediaParser::Deliver(bool key) {
    const uint32_t fourcc = key ? kKeyFourCC : kDeltaFourCC;
    const auto size = static_cast<uint32_t>(m_sample.size());
    HandOver(fourcc, SampleBufferSize(size), m_sample.data(), size, "talvex::CMpegMediaParser::Deliver");
}

void CMpegMediaParser::Resync() {
    m_frameBuffer.clear();
    m_isKey = false;
    m_waitKey = true;
    m_consumed = 0;
    m_scanPos = 0;
    m_headerSearchPos = 0;
}

}  // namespace talvex
