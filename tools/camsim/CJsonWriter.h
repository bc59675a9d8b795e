#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace camsim {

// Builds compact JSON text for the control API. Commas are placed automatically.
class CJsonWriter {
public:
    CJsonWriter& BeginObject();
    CJsonWriter& EndObject();
    CJsonWriter& BeginArray();
    CJsonWriter& EndArray();
    CJsonWriter& Key(std::string_view key);
    CJsonWriter& String(std::string_view value);
    CJsonWriter& Number(long long value);
    CJsonWriter& Bool(bool value);

    template <typename T>
    CJsonWriter& Field(std::string_view key, const T& value) {
        Key(key);
        if constexpr (std::is_same_v<T, bool>) return Bool(value);
        else if constexpr (std::is_integral_v<T>) return Number(static_cast<long long>(value));
        else return String(value);
    }

    const std::string& Text() const { return m_text; }

private:
    void Separate();
    void AppendEscaped(std::string_view value);

    std::string m_text;
    std::vector<bool> m_hasItems;  // per open container: whether an item was written
    bool m_afterKey = false;
};

}  // namespace camsim
