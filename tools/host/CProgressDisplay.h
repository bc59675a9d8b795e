// Live progress of a capture. On a terminal one block of lines per input is
// redrawn in place (pictures, frame rate, bit rate, state, last log line);
// elsewhere one plain line is written per second.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "CCaptureWriter.h"

namespace wfhost {

struct SInputProgress {
    unsigned int input = 0;
    SInputStats stats;
    double framesPerSecond = 0;
    double kbitPerSecond = 0;
    int32_t state = -1;  // as GetChannelStatus reports it; -1 unknown
    std::string lastLine;
};

class CProgressDisplay {
public:
    CProgressDisplay(FILE* stream, bool terminal, unsigned int columns)
        : m_stream(stream), m_terminal(terminal), m_columns(columns) {}

    void Show(const std::vector<SInputProgress>& inputs, double elapsedSeconds);

    // The block a terminal shows, preceded by the escapes that move back over
    // the previous block of previousLines lines; every line fits columns.
    static std::string FormatTerminal(const std::vector<SInputProgress>& inputs, double elapsedSeconds,
                                      unsigned int previousLines, unsigned int columns);
    // One line for every input, no escapes.
    static std::string FormatPlain(const std::vector<SInputProgress>& inputs, double elapsedSeconds);
    static const char* StateName(int32_t state);

private:
    static std::string Figures(const SInputProgress& input);

    FILE* const m_stream;
    const bool m_terminal;
    const unsigned int m_columns;
    unsigned int m_linesShown = 0;
};

}  // namespace wfhost
