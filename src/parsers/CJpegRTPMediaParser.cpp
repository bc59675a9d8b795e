#include "parsers/CJpegRTPMediaParser.h"

#include <cstring>

#include "base/CByteReader.h"

namespace talvex {

namespace {

// ITU-T T.81 Annex K tables K.1 (luminance) and K.2 (chrominance), natural order.
constexpr uint8_t kLuminanceQuant[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,  14, 13, 16, 24, 40,  57,
    69, 56, 14, 17, 22,  29,  51,  87,  80, 62, 18, 22, 37,  56,  68,  109, 103, 77, 24, 35, 55,  64,
    81, 104, 113, 92, 49, 64,  78,  87,  103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr uint8_t kChrominanceQuant[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};
// Position in natural order of the i-th coefficient in zig-zag order.
constexpr uint8_t kZigZag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                 12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// T.81 Annex K.3 to K.6: code counts per length, then the values.
constexpr uint8_t kDcLuminanceBits[16] = {0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr uint8_t kDcChrominanceBits[16] = {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr uint8_t kDcValues[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr uint8_t kAcLuminanceBits[16] = {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7D};
constexpr uint8_t kAcLuminanceValues[162] = {
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
    0x14, 0x32, 0x81, 0x91, 0xA1, 0x08, 0x23, 0x42, 0xB1, 0xC1, 0x15, 0x52, 0xD1, 0xF0, 0x24, 0x33, 0x62, 0x72,
    0x82, 0x09, 0x0A, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x34, 0x35, 0x36, 0x37,
    0x38, 0x39, 0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
    0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x83,
    0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0xA2, 0xA3,
    0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xC2, 0xC3,
    0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xE1, 0xE2,
    0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA};
constexpr uint8_t kAcChrominanceBits[16] = {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77};
constexpr uint8_t kAcChrominanceValues[162] = {
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22,
    0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xA1, 0xB1, 0xC1, 0x09, 0x23, 0x33, 0x52, 0xF0, 0x15, 0x62, 0x72, 0xD1,
    0x0A, 0x16, 0x24, 0x34, 0xE1, 0x25, 0xF1, 0x17, 0x18, 0x19, 0x1A, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x35, 0x36,
    0x37, 0x38, 0x39, 0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58,
    0x59, 0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A,
    0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A,
    0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA,
    0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA,
    0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA};

constexpr uint8_t kJfifApp0[] = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00,
                                 0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
constexpr uint8_t kEndOfImage[] = {0xFF, 0xD9};

//  main header: | type-specific | fragment offset (24) | type | Q | width/8 | height/8 |
//  types 64-127: | restart interval (16) | F | L | restart count (14) |
//  Q >= 128, first fragment: | MBZ | precision | length (16) | tables ... |
constexpr std::size_t kMainHeaderBytes = 8;
constexpr uint8_t kRestartTypes = 64;
constexpr uint8_t kInBandQ = 128;
constexpr uint8_t kDynamicQ = 255;
constexpr std::size_t kTableBytes = 64;

// Sizes are sent in units of 8 pixels; a 0 stands for 2048.
uint32_t PictureDimension(uint8_t units) { return units == 0 ? 2048 : units * 8u; }

// Appends to a fixed area and refuses to go past its end.
class CHeaderWriter {
public:
    CHeaderWriter(uint8_t* out, std::size_t capacity) : m_out(out), m_capacity(capacity) {}
    void Bytes(const uint8_t* bytes, std::size_t count) {
        if (m_failed || m_capacity - m_size < count) {
            m_failed = true;
            return;
        }
        std::memcpy(m_out + m_size, bytes, count);
        m_size += count;
    }
    void Byte(uint8_t value) { Bytes(&value, 1); }
    void U16(uint32_t value) {
        Byte(static_cast<uint8_t>(value >> 8));
        Byte(static_cast<uint8_t>(value));
    }
    void Marker(uint8_t marker, std::size_t payloadBytes) {
        Byte(0xFF);
        Byte(marker);
        U16(static_cast<uint32_t>(payloadBytes + 2));
    }
    void HuffmanTable(uint8_t classAndId, const uint8_t (&bits)[16], const uint8_t* values, std::size_t count) {
        Marker(0xC4, 1 + 16 + count);
        Byte(classAndId);
        Bytes(bits, 16);
        Bytes(values, count);
    }
    std::size_t Size() const { return m_failed ? 0 : m_size; }

private:
    uint8_t* m_out;
    std::size_t m_capacity;
    std::size_t m_size = 0;
    bool m_failed = false;
};

}  // namespace

CJpegRTPMediaParser::CJpegRTPMediaParser(IDriver* driver, std::string sourceName)
    : CRTPMediaParser(driver, std::move(sourceName)) {}

std::array<uint8_t, 128> CJpegRTPMediaParser::MakeTables(uint32_t q) {
    if (q < 1) q = 1;
    if (q > 99) q = 99;
    const uint32_t scale = q < 50 ? 5000 / q : 200 - 2 * q;
    std::array<uint8_t, 128> tables{};
    for (std::size_t i = 0; i < 64; ++i) {
        const uint32_t luminance = (kLuminanceQuant[kZigZag[i]] * scale + 50) / 100;
        const uint32_t chrominance = (kChrominanceQuant[kZigZag[i]] * scale + 50) / 100;
        tables[i] = static_cast<uint8_t>(luminance < 1 ? 1 : luminance > 255 ? 255 : luminance);
        tables[64 + i] = static_cast<uint8_t>(chrominance < 1 ? 1 : chrominance > 255 ? 255 : chrominance);
    }
    return tables;
}

void CJpegRTPMediaParser::Reset() {
    m_waitForFirstFragment = true;
    m_width = 0;
    m_height = 0;
    m_frameBuffer.clear();
}

void CJpegRTPMediaParser::ProcessPacket(const CRTPPacket& packet) {
    if (IsRepeat(packet)) return;
    if (!CheckSequence(packet)) Reset();
    if (!AppendFragment(packet.Payload(), packet.PayloadLength()) || packet.Marker() == 0) return;
    m_timeConverter.Update(packet.Timestamp());
    DeliverJpeg();
    m_frameBuffer.clear();
    // The next picture must begin with its first fragment.
    m_waitForFirstFragment = true;
}

bool CJpegRTPMediaParser::AppendFragment(const uint8_t* payload, std::size_t length) {
    // Too short to carry data: ignored without dropping the picture.
    if (payload == nullptr || length <= kMainHeaderBytes) return false;
    CByteReader reader(payload, length);
    uint8_t typeSpecific = 0, type = 0, q = 0, widthUnits = 0, heightUnits = 0;
    uint32_t offset = 0;
    uint16_t restartInterval = 0, restartFlags = 0;
    reader.ReadU8(typeSpecific);
    reader.ReadU24(offset);
    reader.ReadU8(type);
    reader.ReadU8(q);
    reader.ReadU8(widthUnits);
    reader.ReadU8(heightUnits);
    // Every fragment of a restart type carries this header; it is no part of
    // the scan data.
    const bool restartHeader = type >= kRestartTypes && type < 128;
    if (restartHeader && (!reader.ReadU16(restartInterval) || !reader.ReadU16(restartFlags))) {
        Reset();
        return false;
    }
    if (offset == 0) {
        m_frameBuffer.clear();
        m_picture.type = type;
        m_picture.q = q;
        m_picture.width = PictureDimension(widthUnits);
        m_picture.height = PictureDimension(heightUnits);
        m_picture.restartInterval = restartHeader ? restartInterval : 0;
        if (q >= kInBandQ && !ReadTables(reader)) {
            Reset();
            return false;
        }
        m_waitForFirstFragment = false;
    } else if (m_waitForFirstFragment || offset != m_frameBuffer.size()) {
        // A fragment with no picture to belong to, or one that would leave a
        // hole or overlap in the scan data: the picture cannot be decoded.
        Reset();
        return false;
    }
    m_frameBuffer.insert(m_frameBuffer.end(), reader.Current(), reader.Current() + reader.Remaining());
    if (!CheckBufferSize()) {
        Reset();
        return false;
    }
    return true;
}

bool CJpegRTPMediaParser::ReadTables(CByteReader& reader) {
    uint8_t mbz = 0, precision = 0;
    uint16_t tableLength = 0;
    if (!reader.ReadU8(mbz) || !reader.ReadU8(precision) || !reader.ReadU16(tableLength)) return false;
    m_picture.tablesInBand = true;
    if (mbz != 0 || tableLength == 0) {
        // No tables with the picture: those sent earlier for this Q (only Q
        // 255 must come with every picture), or else those of Q 99.
        if (tableLength == 0 && m_picture.q == m_cachedQ && m_picture.q != kDynamicQ) {
            m_picture.tableCount = m_cachedTables.tableCount;
            m_picture.tables = m_cachedTables.tables;
        } else {
            m_picture.tableCount = 2;
            m_picture.tables = MakeTables(99);
        }
        return true;
    }
    const uint8_t* tables = nullptr;
    if (!reader.ReadSpan(tableLength, tables)) return false;
    // Baseline pictures take 8-bit tables, one per 64 bytes: one for every
    // component, or luminance and chrominance (further tables are unused).
    if (precision != 0 || tableLength % kTableBytes != 0) return false;
    m_picture.tableCount = tableLength == kTableBytes ? 1 : 2;
    std::memcpy(m_picture.tables.data(), tables, m_picture.tableCount * kTableBytes);
    if (m_picture.q != kDynamicQ) {
        m_cachedQ = m_picture.q;
        m_cachedTables = m_picture;
    }
    return true;
}

std::size_t CJpegRTPMediaParser::BuildHeader(uint8_t* out, std::size_t capacity) const {
    const SPicture& p = m_picture;
    const bool inBand = p.tablesInBand;
    const uint8_t tableCount = inBand ? p.tableCount : 2;
    const std::array<uint8_t, 128> tables = inBand ? p.tables : MakeTables(p.q);
    // Types 0 and 64 are 4:2:2, types 1 and 65 4:2:0.
    const uint8_t lumaSampling = (p.type & 1) ? 0x22 : 0x21;
    const uint8_t chromaTable = tableCount == 2 ? 1 : 0;
    const uint8_t firstId = inBand ? 1 : 0;

    CHeaderWriter w(out, capacity);
    w.Byte(0xFF);
    w.Byte(0xD8);
    if (inBand) w.Bytes(kJfifApp0, sizeof kJfifApp0);
    if (p.restartInterval != 0) {
        w.Marker(0xDD, 2);
        w.U16(p.restartInterval);
    }
    for (uint8_t t = 0; t < tableCount; ++t) {
        w.Marker(0xDB, 1 + kTableBytes);
        w.Byte(t);
        w.Bytes(tables.data() + t * kTableBytes, kTableBytes);
    }
    w.Marker(0xC0, 15);
    w.Byte(8);
    w.U16(p.height);
    w.U16(p.width);
    w.Byte(3);
    const uint8_t components[3][3] = {{firstId, lumaSampling, 0},
                                      {static_cast<uint8_t>(firstId + 1), 0x11, chromaTable},
                                      {static_cast<uint8_t>(firstId + 2), 0x11, chromaTable}};
    for (const auto& c : components) w.Bytes(c, 3);
    w.HuffmanTable(0x00, kDcLuminanceBits, kDcValues, sizeof kDcValues);
    w.HuffmanTable(0x10, kAcLuminanceBits, kAcLuminanceValues, sizeof kAcLuminanceValues);
    w.HuffmanTable(0x01, kDcChrominanceBits, kDcValues, sizeof kDcValues);
    w.HuffmanTable(0x11, kAcChrominanceBits, kAcChrominanceValues, sizeof kAcChrominanceValues);
    const uint8_t scan[] = {0xFF, 0xDA, 0x00, 0x0C, 0x03, firstId, 0x00, static_cast<uint8_t>(firstId + 1), 0x11,
                            static_cast<uint8_t>(firstId + 2), 0x11, 0x00, 0x3F, 0x00};
    w.Bytes(scan, sizeof scan);
    return w.Size();
}

void CJpegRTPMediaParser::DeliverJpeg() {
    if (m_frameBuffer.empty() || m_driver == nullptr || m_client == nullptr ||
        m_driver->GetSampleAllocator() == nullptr)
        return;
    const std::size_t scanBytes = m_frameBuffer.size();
    const uint32_t capacity = static_cast<uint32_t>(scanBytes + kHeaderArea);
    ipcapture::IHostMediaSample* sample = CreateSample(kFourCC, capacity);
    if (sample == nullptr) return;
    uint8_t* buffer = BufferOf(sample);
    // The header, the end-of-image marker and the scan data all fit in the
    // area asked for: the header takes at most 629 bytes.
    const std::size_t headerBytes = buffer != nullptr ? BuildHeader(buffer, kHeaderArea - sizeof kEndOfImage) : 0;
    if (headerBytes != 0) {
        std::memcpy(buffer + headerBytes, m_frameBuffer.data(), scanBytes);
        std::size_t total = headerBytes + scanBytes;
        const bool ended = scanBytes >= 2 && m_frameBuffer[scanBytes - 2] == 0xFF && m_frameBuffer[scanBytes - 1] == 0xD9;
        if (!ended) {
            std::memcpy(buffer + total, kEndOfImage, sizeof kEndOfImage);
            total += sizeof kEndOfImage;
        }
        m_width = m_picture.width;
        m_height = m_picture.height;
        // The host's answer does not change what comes next.
        OfferSample(sample, static_cast<uint32_t>(total), 0);
    }
    ReleaseSample(sample);
}

}  // namespace talvex
