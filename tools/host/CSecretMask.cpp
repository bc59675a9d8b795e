#include "CSecretMask.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace wfhost {

namespace {

std::string PercentEscaped(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
            escaped += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof(hex), "%%%02X", byte);
            escaped += hex;
        }
    }
    return escaped;
}

}  // namespace

void CSecretMask::Add(std::string_view secret) {
    if (secret.empty()) return;
    for (const std::string& form : {std::string(secret), PercentEscaped(secret)})
        if (std::find(m_secrets.begin(), m_secrets.end(), form) == m_secrets.end()) m_secrets.push_back(form);
    std::sort(m_secrets.begin(), m_secrets.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

std::string CSecretMask::Apply(std::string_view text) const {
    std::string result(text);
    for (const std::string& secret : m_secrets) {
        std::string::size_type at = 0;
        while ((at = result.find(secret, at)) != std::string::npos) {
            result.replace(at, secret.size(), kMask);
            at += std::char_traits<char>::length(kMask);
        }
    }
    return result;
}

}  // namespace wfhost
