// Keeps passwords out of everything the host prints or writes: each secret
// (and the %-escaped form it was typed in) becomes "****" wherever it occurs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wfhost {

class CSecretMask {
public:
    static constexpr const char* kMask = "****";

    void Add(std::string_view secret);
    std::string Apply(std::string_view text) const;

private:
    std::vector<std::string> m_secrets;  // longest first, so a longer secret is masked whole
};

}  // namespace wfhost
