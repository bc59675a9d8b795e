#include "base/FormatString.h"

#include <cstdio>
#include <vector>

namespace talvex {

std::string FormatStringV(const char* format, va_list arguments) {
    if (format == nullptr) return {};
    // The first pass only measures; the list is consumed by it, so the
    // second pass formats from a copy.
    va_list measureArguments;
    va_copy(measureArguments, arguments);
    const int needed = std::vsnprintf(nullptr, 0, format, measureArguments);
    va_end(measureArguments);
    if (needed <= 0) return {};

    std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
    va_list writeArguments;
    va_copy(writeArguments, arguments);
    const int written = std::vsnprintf(buffer.data(), buffer.size(), format, writeArguments);
    va_end(writeArguments);
    if (written != needed) return {};
    return std::string(buffer.data(), static_cast<std::size_t>(written));
}

std::string FormatString(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = FormatStringV(format, arguments);
    va_end(arguments);
    return text;
}

}  // namespace talvex
