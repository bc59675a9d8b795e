// printf-style formatting into a text, for log lines, CGI paths and
// authorization headers.
#pragma once

#include <cstdarg>
#include <string>

#include "base/IDebugMessage.h"

namespace talvex {

// Formats with printf rules into a text of exactly the needed size. A format
// the runtime cannot apply gives an empty text.
std::string FormatString(const char* format, ...) WF_PRINTF_FORMAT(1, 2);
std::string FormatStringV(const char* format, va_list arguments);

}  // namespace talvex
