// Progress on a terminal is one block redrawn in place; elsewhere it is one
// plain line per update, with no escapes.
#include <gtest/gtest.h>

#include "CProgressDisplay.h"

namespace {

using wfhost::CProgressDisplay;
using wfhost::SInputProgress;

std::vector<SInputProgress> TwoInputs() {
    SInputProgress first;
    first.input = 0;
    first.stats.pictures = 125;
    first.framesPerSecond = 25;
    first.kbitPerSecond = 812.4;
    first.state = 0;
    first.lastLine = "talvex::CBaseCameraChannel::SetCameraState: Camera 127.0.0.1 is online";
    SInputProgress second;
    second.input = 3;
    second.state = 2;
    return {first, second};
}

TEST(CProgressDisplayTest, PlainLinesCarryEveryInputAndNoEscapes) {
    EXPECT_EQ(CProgressDisplay::FormatPlain(TwoInputs(), 5.02),
              "[   5 s] input 0: 125 pictures, 25.0 fps, 812 kbit/s, receiving; "
              "input 3: 0 pictures, 0.0 fps, 0 kbit/s, no signal\n");
    SInputProgress starting;
    EXPECT_EQ(CProgressDisplay::FormatPlain({starting}, 0),
              "[   0 s] input 0: 0 pictures, 0.0 fps, 0 kbit/s, starting\n");
}

TEST(CProgressDisplayTest, ATerminalBlockRedrawsOverThePreviousOneWithinItsColumns) {
    const std::string first = CProgressDisplay::FormatTerminal(TwoInputs(), 1, 0, 60);
    EXPECT_EQ(first.rfind("\r\x1b[2K", 0), 0u) << "nothing to move over yet";
    const std::string next = CProgressDisplay::FormatTerminal(TwoInputs(), 2, 5, 60);
    ASSERT_EQ(next.rfind("\x1b[5A", 0), 0u);
    // Header, then figures and last log line per input: five lines, each cleared first and cut to fit.
    std::vector<std::string> lines;
    std::string rest = next.substr(4);
    for (auto end = rest.find('\n'); end != std::string::npos; end = rest.find('\n')) {
        lines.push_back(rest.substr(0, end));
        rest.erase(0, end + 1);
    }
    EXPECT_TRUE(rest.empty());
    ASSERT_EQ(lines.size(), 5u);
    for (const std::string& line : lines) {
        ASSERT_EQ(line.rfind("\r\x1b[2K", 0), 0u) << line;
        EXPECT_LE(line.size() - 5, 60u) << line;
    }
    EXPECT_EQ(lines[0].substr(5), "capturing, 2 s");
    EXPECT_EQ(lines[1].substr(5), "input 0: 125 pictures, 25.0 fps, 812 kbit/s, receiving");
    EXPECT_EQ(lines[2].substr(5), "  talvex::CBaseCameraChannel::SetCameraState: Camera 127...");
    EXPECT_EQ(lines[4].substr(5), "  -");
}

}  // namespace
