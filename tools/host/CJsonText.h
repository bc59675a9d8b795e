// Builds one-line JSON texts: objects and arrays of numbers and strings.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace wfhost {

class CJsonText {
public:
    static std::string Quote(std::string_view text);

    CJsonText& BeginObject(std::string_view key = {});
    CJsonText& EndObject();
    CJsonText& BeginArray(std::string_view key = {});
    CJsonText& EndArray();
    CJsonText& Add(std::string_view key, std::string_view value);
    CJsonText& Add(std::string_view key, const char* value) { return Add(key, std::string_view(value)); }
    CJsonText& Add(std::string_view key, int64_t value);
    CJsonText& Add(std::string_view key, uint64_t value) { return Add(key, static_cast<int64_t>(value)); }
    CJsonText& Add(std::string_view key, uint32_t value) { return Add(key, static_cast<int64_t>(value)); }
    CJsonText& Add(std::string_view key, int32_t value) { return Add(key, static_cast<int64_t>(value)); }
    CJsonText& Add(std::string_view key, double value);
    CJsonText& Add(std::string_view key, bool value);

    const std::string& Text() const { return m_text; }

private:
    void Key(std::string_view key);

    std::string m_text;
    bool m_needComma = false;
};

}  // namespace wfhost
