#include "http/ReplyLookups.h"

#include <algorithm>

#include "base/TextUtils.h"

namespace talvex::HUtils {

namespace {

// Position of the first occurrence of name that is directly followed by
// assign, or npos.
std::size_t FindNameBeforeAssign(const std::string& name, const std::string& body, const std::string& assign,
                                 std::size_t& assignPos) {
    std::size_t namePos = body.find(name);
    while (namePos != std::string::npos) {
        assignPos = body.find(assign, namePos);
        if (assignPos == std::string::npos) return std::string::npos;
        if (assignPos - namePos == name.size()) return namePos;
        // Resume right behind this occurrence, not behind the assign: an
        // occurrence inside an earlier value ("Model=MyCamera<br>Camera=...")
        // must not hide the record that follows it.
        namePos = body.find(name, namePos + 1);
    }
    return std::string::npos;
}

}  // namespace

std::string GetValue(const std::string& name, const std::string& body, const std::string& assign,
                     const std::string& end) {
    if (name.empty() || assign.empty() || end.empty()) return {};
    std::size_t assignPos = 0;
    if (FindNameBeforeAssign(name, body, assign, assignPos) == std::string::npos) return {};
    const std::size_t valueStart = assignPos + assign.size();
    const std::size_t endPos = body.find(end, valueStart);
    // A record cut off before its end tag is treated as absent: the reply
    // was truncated and the value may be incomplete.
    if (endPos == std::string::npos) return {};
    return body.substr(valueStart, endPos - valueStart);
}

std::vector<std::string> GetValueList(const std::string& name, const std::string& body,
                                      const std::string& listSeparator, const std::string& end,
                                      const std::string& assign) {
    std::vector<std::string> pieces;
    const std::string value = GetValue(name, body, assign, end);
    if (value.empty() || listSeparator.empty()) return pieces;
    std::size_t start = 0;
    while (start <= value.size()) {
        std::size_t stop = value.find(listSeparator, start);
        if (stop == std::string::npos) stop = value.size();
        if (stop > start) pieces.push_back(value.substr(start, stop - start));
        start = stop + listSeparator.size();
    }
    return pieces;
}

std::string FindRecordValue(const std::string& name, const std::string& assign, const std::string& body,
                            const std::string& delimiters) {
    if (name.empty() || assign.empty() || delimiters.empty()) return {};
    std::size_t pos = body.find(name);
    while (pos != std::string::npos) {
        const std::size_t lastDelimiter = body.find_last_of(delimiters, pos);
        const std::size_t recordStart = lastDelimiter == std::string::npos ? 0 : lastDelimiter + 1;
        std::size_t recordEnd = body.find_first_of(delimiters, pos);
        if (recordEnd == std::string::npos) recordEnd = body.size();

        const std::size_t assignPos = body.find(assign, pos);
        if (assignPos == std::string::npos) return {};
        // A record without an assign is skipped by resuming at its end, not
        // at the next assign: that assign may belong to a later record of
        // this very name ("<br>B=A<br>A=5<br>"). Every later search starts
        // past this occurrence, so a name that begins with a delimiter
        // cannot loop forever.
        if (assignPos >= recordEnd) {
            pos = body.find(name, std::max(recordEnd, pos + 1));
            continue;
        }
        if (recordStart <= assignPos && Trim(body.substr(recordStart, assignPos - recordStart)) == name) {
            const std::size_t valueStart = assignPos + assign.size();
            if (valueStart < recordEnd) return body.substr(valueStart, recordEnd - valueStart);
        }
        pos = body.find(name, std::max(recordEnd, pos + 1));
    }
    return {};
}

}  // namespace talvex::HUtils
