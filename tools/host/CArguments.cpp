#include "CArguments.h"

#include <cstdlib>

namespace wfhost {

bool CArguments::TakeFlag(const std::string& name) {
    bool found = false;
    for (auto it = m_words.begin(); it != m_words.end();) {
        if (*it == name) {
            it = m_words.erase(it);
            found = true;
        } else {
            ++it;
        }
    }
    return found;
}

std::string CArguments::TakeCommand() {
    if (m_words.empty() || m_words.front().rfind("-", 0) == 0) return {};
    std::string command = m_words.front();
    m_words.erase(m_words.begin());
    return command;
}

bool CArguments::TakeValues(const std::string& name, std::vector<std::string>& values, std::string& error) {
    for (auto it = m_words.begin(); it != m_words.end();) {
        if (it->rfind(name + "=", 0) == 0) {
            values.push_back(it->substr(name.size() + 1));
            it = m_words.erase(it);
        } else if (*it == name) {
            if (it + 1 == m_words.end()) {
                error = name + " needs a value";
                return false;
            }
            values.push_back(*(it + 1));
            it = m_words.erase(it, it + 2);
        } else {
            ++it;
        }
    }
    return true;
}

bool CArguments::TakeValue(const std::string& name, std::string& value, std::string& error) {
    std::vector<std::string> values;
    if (!TakeValues(name, values, error)) return false;
    if (!values.empty()) value = values.back();
    return true;
}

std::optional<double> CArguments::Number(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == nullptr || *end != '\0') return std::nullopt;
    return value;
}

bool CArguments::TakeNumber(const std::string& name, double low, double high, double& value, std::string& error) {
    std::string text;
    if (!TakeValue(name, text, error)) return false;
    if (text.empty()) return true;
    const auto number = Number(text);
    if (!number || *number < low || *number > high) {
        error = name + " \"" + text + "\" is not a number from " + std::to_string(static_cast<long long>(low)) +
                " to " + std::to_string(static_cast<long long>(high));
        return false;
    }
    value = *number;
    return true;
}

bool CArguments::Rest(std::vector<std::string>& words, std::string& error) const {
    for (const std::string& word : m_words) {
        if (word.size() > 1 && word[0] == '-' && !Number(word)) {
            error = "unknown option " + word;
            return false;
        }
    }
    words = m_words;
    return true;
}

}  // namespace wfhost
