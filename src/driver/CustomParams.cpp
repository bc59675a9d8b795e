#include "driver/CustomParams.h"

#include "base/IDriver.h"

namespace talvex {

int32_t ParseCustomParamInt(const std::string& text) {
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos == text.size()) return kCustomParamAbsent;
    int64_t value = 0;
    for (; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c < '0' || c > '9') return kCustomParamAbsent;
        value = value * 10 + (c - '0');
        if (value > int64_t{INT32_MAX} + 1) return kCustomParamAbsent;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return kCustomParamAbsent;
    return static_cast<int32_t>(value);
}

}  // namespace talvex
