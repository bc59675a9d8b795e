// A command's arguments: options are taken out by name, what is left must be
// the positional words the command expects.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wfhost {

class CArguments {
public:
    explicit CArguments(std::vector<std::string> words) : m_words(std::move(words)) {}

    bool TakeFlag(const std::string& name);
    // The first word (the command); "" when there is none or it is an option.
    std::string TakeCommand();
    // The value after the option (last one wins); false with error when it is missing.
    bool TakeValue(const std::string& name, std::string& value, std::string& error);
    // Every value of a repeated option, in order.
    bool TakeValues(const std::string& name, std::vector<std::string>& values, std::string& error);
    bool TakeNumber(const std::string& name, double low, double high, double& value, std::string& error);
    // The positional words; false with error when an option is left that nobody took.
    bool Rest(std::vector<std::string>& words, std::string& error) const;

    static std::optional<double> Number(const std::string& text);

private:
    std::vector<std::string> m_words;
};

}  // namespace wfhost
