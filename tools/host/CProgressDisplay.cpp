#include "CProgressDisplay.h"

namespace wfhost {

namespace {

constexpr const char* kClearLine = "\r\x1b[2K";

std::string Fit(const std::string& text, unsigned int columns) {
    if (columns == 0 || text.size() < columns) return text;
    return text.substr(0, columns > 4 ? columns - 4 : 0) + "...";
}

}  // namespace

const char* CProgressDisplay::StateName(int32_t state) {
    switch (state) {
        case 0: return "receiving";
        case 2: return "no signal";
        default: return "starting";
    }
}

std::string CProgressDisplay::Figures(const SInputProgress& input) {
    char text[160];
    std::snprintf(text, sizeof(text), "input %u: %llu pictures, %.1f fps, %.0f kbit/s, %s", input.input,
                  static_cast<unsigned long long>(input.stats.pictures), input.framesPerSecond, input.kbitPerSecond,
                  StateName(input.state));
    return text;
}

std::string CProgressDisplay::FormatTerminal(const std::vector<SInputProgress>& inputs, double elapsedSeconds,
                                             unsigned int previousLines, unsigned int columns) {
    std::string block;
    if (previousLines > 0) block += "\x1b[" + std::to_string(previousLines) + "A";
    char head[48];
    std::snprintf(head, sizeof(head), "capturing, %.0f s", elapsedSeconds);
    block += kClearLine + Fit(head, columns) + "\n";
    for (const SInputProgress& input : inputs) {
        block += kClearLine + Fit(Figures(input), columns) + "\n";
        block += kClearLine + Fit("  " + (input.lastLine.empty() ? std::string("-") : input.lastLine), columns) + "\n";
    }
    return block;
}

std::string CProgressDisplay::FormatPlain(const std::vector<SInputProgress>& inputs, double elapsedSeconds) {
    char head[32];
    std::snprintf(head, sizeof(head), "[%4.0f s]", elapsedSeconds);
    std::string line = head;
    for (std::size_t i = 0; i < inputs.size(); ++i) line += (i == 0 ? " " : "; ") + Figures(inputs[i]);
    return line + "\n";
}

void CProgressDisplay::Show(const std::vector<SInputProgress>& inputs, double elapsedSeconds) {
    if (m_stream == nullptr) return;
    if (m_terminal) {
        std::fputs(FormatTerminal(inputs, elapsedSeconds, m_linesShown, m_columns).c_str(), m_stream);
        m_linesShown = static_cast<unsigned int>(1 + 2 * inputs.size());
    } else {
        std::fputs(FormatPlain(inputs, elapsedSeconds).c_str(), m_stream);
    }
    std::fflush(m_stream);
}

}  // namespace wfhost
