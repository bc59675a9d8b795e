// The CGI reply lookups. The whole input is read as a camera page with the
// names the driver asks for; then its first three lines give a name, an
// assign and an end (or delimiter set) of their own and the rest is the
// page. Every value found must be a piece of the page.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "http/ReplyLookups.h"

namespace {

void CheckPiece(const std::string& value, const std::string& page) {
    if (!value.empty() && page.find(value) == std::string::npos) __builtin_trap();
}

void LookUp(const std::string& name, const std::string& assign, const std::string& end, const std::string& page) {
    CheckPiece(talvex::HUtils::GetValue(name, page, assign, end), page);
    CheckPiece(talvex::HUtils::FindRecordValue(name, assign, page, end), page);
    for (const std::string& piece : talvex::HUtils::GetValueList(name, page, ",", end, assign)) {
        if (piece.empty() || piece.find(',') != std::string::npos) __builtin_trap();
        CheckPiece(piece, page);
    }
}

// The next line of text from pos, without its line feed.
std::string Line(const std::string& text, std::size_t& pos) {
    const std::size_t stop = text.find('\n', pos);
    const std::size_t end = stop == std::string::npos ? text.size() : stop;
    std::string line = text.substr(pos, end - pos);
    pos = stop == std::string::npos ? text.size() : stop + 1;
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    static const char* const kNames[] = {"CameraType", "VideoNum", "CodecType", "Resolution1", "Type", "PName00"};
    for (const char* name : kNames) LookUp(name, "=", "<br>", text);
    CheckPiece(talvex::HUtils::FindRecordValue("Rtsp_Port", "=", text, "\r\n"), text);

    std::size_t pos = 0;
    const std::string name = Line(text, pos);
    const std::string assign = Line(text, pos);
    const std::string end = Line(text, pos);
    LookUp(name, assign, end, text.substr(pos));
    return 0;
}
