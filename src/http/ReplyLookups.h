// Lookups in the camera's CGI replies: records of name, "=" and value,
// separated by "<br>" (for example "VideoNum=2<br>AudioNum=1<br>").
#pragma once

#include <string>
#include <vector>

namespace talvex::HUtils {

// The value of the first record whose name ends with name: the text between
// assign and the next end tag. Empty when it is missing, when any argument
// but body is empty, or when the record has no end tag. The match is
// case-sensitive and only the name's right edge is checked, so "Type" also
// finds "CameraType=".
std::string GetValue(const std::string& name, const std::string& body, const std::string& assign,
                     const std::string& end);

// GetValue, then the value cut at every separator with empty pieces dropped.
std::vector<std::string> GetValueList(const std::string& name, const std::string& body,
                                      const std::string& listSeparator, const std::string& end,
                                      const std::string& assign);

// Record-aware lookup: a record ends at any character of delimiters, and its
// name part (trimmed of blanks) must equal name exactly. The value is
// returned untrimmed.
std::string FindRecordValue(const std::string& name, const std::string& assign, const std::string& body,
                            const std::string& delimiters);

}  // namespace talvex::HUtils
