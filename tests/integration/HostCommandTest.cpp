// wrenfield-host end to end against the simulator: the files of a capture
// decode with the sizes and picture counts its summary gives, a probe and a
// preset round trip work, errors are one bounded line, and progress is
// redrawn on a terminal and written as plain lines elsewhere.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "CCamSimControl.h"
#include "CCamSimProcess.h"

namespace {

using namespace std::chrono_literals;

constexpr const char* kPassword = "host-Pw7";

struct SRun {
    int status = -1;
    std::string out;
    std::string err;
    double seconds = 0;
};

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string Shell(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof(buffer), pipe) != nullptr) output += buffer;
        pclose(pipe);
    }
    return output;
}

// The host with its standard output and error kept apart (neither a terminal).
SRun RunHost(const std::string& arguments) {
    const std::string stem = ::testing::TempDir() + "wf-host-run-" + std::to_string(getpid());
    const auto start = std::chrono::steady_clock::now();
    SRun run;
    const int raw = std::system((std::string(WF_HOST_PATH) + " " + arguments + " >" + stem + ".out 2>" + stem + ".err")
                                    .c_str());
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(stem + ".out");
    run.err = ReadFile(stem + ".err");
    std::filesystem::remove(stem + ".out");
    std::filesystem::remove(stem + ".err");
    return run;
}

// The host on a pseudo-terminal: everything it wrote there.
std::string RunOnTerminal(const std::vector<std::string>& arguments) {
    int terminal = -1;
    winsize size{};
    size.ws_col = 100;
    size.ws_row = 30;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, &size);
    if (pid == 0) {
        std::vector<char*> argv{const_cast<char*>(WF_HOST_PATH)};
        for (const std::string& word : arguments) argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        execv(WF_HOST_PATH, argv.data());
        _exit(127);
    }
    std::string output;
    char buffer[1024];
    for (ssize_t got; (got = read(terminal, buffer, sizeof(buffer))) > 0;) output.append(buffer, static_cast<size_t>(got));
    close(terminal);
    int status = 0;
    waitpid(pid, &status, 0);
    return output;
}

uint64_t JsonNumber(const std::string& json, const std::string& key) {
    std::smatch match;
    if (!std::regex_search(json, match, std::regex("\"" + key + "\":([0-9]+)"))) return 0;
    return std::stoull(match[1]);
}

class HostCommandTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_camera = new CCamSimProcess({"--auth", "digest", "--password", kPassword, "--size", "320x240", "--inputs",
                                       "2", "--outputs", "2"});
    }
    static void TearDownTestSuite() {
        delete s_camera;
        s_camera = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(s_camera->Started()) << s_camera->Error();
        m_dir = ::testing::TempDir() + "wf-host-test-" + std::to_string(getpid());
        std::filesystem::remove_all(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    static std::string Camera(const std::string& password = kPassword) {
        return "http://admin:" + password + "@127.0.0.1:" + std::to_string(s_camera->HttpPort());
    }

    static CCamSimProcess* s_camera;
    std::string m_dir;
};

CCamSimProcess* HostCommandTest::s_camera = nullptr;

TEST_F(HostCommandTest, CapturedFilesDecodeAsTheSummarySays) {
    const struct {
        const char* options;
        const char* format;
        const char* file;
    } kRows[] = {{"--codec h264 --rtsp", "h264", "input0.h264"}, {"--codec mjpeg", "mjpeg", "input0.mjpeg"}};
    for (const auto& row : kRows) {
        const std::string dir = m_dir + "/" + row.format;
        const SRun run =
            RunHost("capture " + Camera() + " " + row.options + " --size 320x240 --seconds 3 --json --out " + dir);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::string path = dir + "/" + row.file;
        const uint64_t pictures = JsonNumber(run.out, "pictures");
        EXPECT_GT(pictures, 10u) << run.out;
        EXPECT_GE(JsonNumber(run.out, "key_pictures"), 1u) << run.out;
        EXPECT_EQ(JsonNumber(run.out, "bytes"), std::filesystem::file_size(path)) << run.out;
        EXPECT_EQ(JsonNumber(run.out, "width"), 320u);
        EXPECT_EQ(JsonNumber(run.out, "height"), 240u);
        const std::string probed = Shell(std::string("ffprobe -v error -f ") + row.format +
                                         " -count_frames -select_streams v:0 -show_entries "
                                         "stream=width,height,nb_read_frames -of csv=p=0 " + path);
        EXPECT_EQ(probed, "320,240," + std::to_string(pictures) + "\n") << row.format;
        const std::string log = ReadFile(dir + "/driver.log");
        EXPECT_NE(log.find("DRIVER IS OPENED"), std::string::npos) << log;
        EXPECT_EQ(log.find(kPassword), std::string::npos);
        EXPECT_EQ(run.out.find(kPassword) == std::string::npos && run.err.find(kPassword) == std::string::npos, true);
    }
}

TEST_F(HostCommandTest, DiscardCountsPicturesAndWritesNoFile) {
    const SRun run = RunHost("capture " + Camera() + " --codec mjpeg --discard --seconds 2 --json --out " + m_dir);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_GT(JsonNumber(run.out, "pictures"), 10u) << run.out;
    EXPECT_NE(run.out.find("\"file\":\"\""), std::string::npos) << run.out;
    EXPECT_FALSE(std::filesystem::exists(m_dir + "/input0.mjpeg"));
}

TEST_F(HostCommandTest, ProbeAndPresetRoundTrip) {
    const SRun probe = RunHost("probe --json " + Camera());
    ASSERT_EQ(probe.status, 0) << probe.err;
    EXPECT_NE(probe.out.find("\"password\":\"****\""), std::string::npos) << probe.out;
    EXPECT_EQ(probe.out.find(kPassword), std::string::npos);
    const SRun table = RunHost("probe " + Camera());
    EXPECT_NE(table.out.find("  password                 ****\n"), std::string::npos) << table.out;

    CCamSimControl control(s_camera->ControlPort());
    ASSERT_EQ(RunHost("ptz " + Camera() + " preset add Gate").status, 0);
    const auto ptz = control.Ptz(0);
    ASSERT_TRUE(ptz.has_value());
    EXPECT_EQ(ptz->presets.size(), 1u);
    const SRun list = RunHost("ptz " + Camera() + " preset list");
    EXPECT_NE(list.out.find("  0: Gate\n"), std::string::npos) << list.out << list.err;
    ASSERT_EQ(RunHost("ptz " + Camera() + " move left 4 --for 200").status, 0);
    ASSERT_EQ(RunHost("ptz " + Camera() + " preset goto Gate").status, 0);
    EXPECT_EQ(control.Ptz(0)->lastCommand.find("Point1") != std::string::npos, true) << control.Ptz(0)->lastCommand;
    ASSERT_EQ(RunHost("ptz " + Camera() + " preset remove Gate").status, 0);
    EXPECT_NE(RunHost("ptz " + Camera() + " preset goto Gate").status, 0);
}

TEST_F(HostCommandTest, ErrorsAreOneLineANonZeroStatusAndBounded) {
    const struct {
        std::string arguments;
        const char* expected;
    } kRows[] = {
        {"capture http://admin:" + std::string(kPassword) + "@127.0.0.1:0", "port \"0\" is not a number"},
        {"probe http//127.0.0.1", "camera text must start with http://"},
        {"capture " + Camera("wrong-" + std::string(kPassword)), "login failed (invalid credentials)"},
        {"capture http://admin:" + std::string(kPassword) + "@127.0.0.1:1 --seconds 2", "Failed to get camera properties"},
        {"ptz " + Camera() + " spin", "unknown ptz action \"spin\""},
        {"capture " + Camera() + " --codec vp8", "--codec \"vp8\" is not h264, mjpeg or mpeg4"},
    };
    for (const auto& row : kRows) {
        const SRun run = RunHost(row.arguments);
        EXPECT_NE(run.status, 0) << row.arguments;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_NE(run.err.find(row.expected), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find(kPassword), std::string::npos) << run.err;
        EXPECT_LT(run.seconds, 15.0) << row.arguments;
    }
}

TEST_F(HostCommandTest, ProgressIsRedrawnOnATerminalAndPlainElsewhere) {
    const std::string terminal =
        RunOnTerminal({"capture", Camera(), "--codec", "mjpeg", "--seconds", "2", "--out", m_dir});
    EXPECT_NE(terminal.find("\r\x1b[2K" "capturing, "), std::string::npos) << terminal;
    EXPECT_NE(terminal.find("\x1b[3A"), std::string::npos) << "one input: header, figures, log line";
    EXPECT_NE(terminal.find("summary (mjpeg over HTTP)"), std::string::npos);

    const SRun plain = RunHost("capture " + Camera() + " --codec mjpeg --seconds 2 --out " + m_dir);
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(plain.out.find('\x1b'), std::string::npos);
    EXPECT_TRUE(std::regex_search(plain.out, std::regex("\\[   1 s\\] input 0: [0-9]+ pictures, [0-9.]+ fps, [0-9]+ "
                                                        "kbit/s, (receiving|no signal|starting)\n")))
        << plain.out;
}

}  // namespace
