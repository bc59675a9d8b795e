#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "parsers/CHttpMediaParser.h"
#include "platform/PlatformModule.h"

namespace talvex {

// Cuts an MPEG-4 part 2 elementary stream into one sample per video object
// plane. The configuration header (visual object sequence when there is one,
// video object and video object layer, up to the first plane) is kept and put
// in front of every key plane, so each key plane a host receives decodes on
// its own, and no plane carries the start of the next group's header. Planes are dropped until the
// first key plane whose picture size could be read.
//
// The picture size comes from the header parser library "Mpeg4Parse" when an
// installation ships it; without it the parser reads the video object layer
// itself.
class CMpegMediaParser final : public CHttpMediaParser {
public:
    void Resync() override;
    static constexpr uint32_t kKeyFourCC = 0x58564944;    // "DIVX"
    static constexpr uint32_t kDeltaFourCC = 0x49564944;  // "DIVI"
    static constexpr const char* kHeaderLibrary = "Mpeg4Parse";

    // (plane bytes, their count, width out, height out) -> above 0 when the
    // header was understood and both sizes written.
    using ParseHeaderFunction = int32_t(WF_STDCALL*)(uint8_t* bytes, uint32_t size, uint32_t* width,
                                                     uint32_t* height);

    // libraryPath names the header parser library; empty means the platform's
    // file name of "Mpeg4Parse", found the way the system finds libraries.
    CMpegMediaParser(IMediaReceiver* receiver, IDriver* driver, std::string name,
                     const std::string& libraryPath = std::string());
    ~CMpegMediaParser() override;

    void Parse(const std::vector<uint8_t>& chunk) override;

    // True when the external header parser was found; false means the
    // built-in reader gives the picture size.
    // True when picture sizes come from the external library, not the built-in reader.
    bool UsesHeaderLibrary() const;
    const std::vector<uint8_t>& ConfigHeader() const { return m_configHeader; }

private:
    void Scan();
    // False when the configuration header is not complete yet.
    bool TakeConfigHeader();
    void EmitPendingPlane();
    bool ReadPictureSize();
    void Deliver(bool key);
    bool StartCodeAt(std::size_t pos, uint8_t code) const;

    std::vector<uint8_t> m_configHeader;
    platform::ModuleHandle m_library = nullptr;
    ParseHeaderFunction m_parseHeader = nullptr;
    bool m_isKey = false;
    bool m_waitKey = true;
    std::size_t m_consumed = 0;  // where the next plane starts in m_frameBuffer
    std::size_t m_scanPos = 0;   // where the start-code scan goes on
    std::size_t m_headerSearchPos = 0;  // where the search for the header's end goes on; 0 when none is pending
    std::vector<uint8_t> m_sample;  // the plane being handed over, reused
};

}  // namespace talvex
