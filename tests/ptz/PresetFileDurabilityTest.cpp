// A process killed at any point of a preset save leaves a preset file that
// reads back with either the presets it held before or all the new ones.
// Linux only: the test forks the writer.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "PtzTestTools.h"
#include "ptz/CXMLPrepositionReader.h"

namespace {

constexpr const char* kFile = "durable.preset";
using Presets = std::vector<CXMLPrepositionReader::SPreset>;

// Two contents of different sizes, so that a file cut short or mixed from
// both matches neither.
const Presets kOld = {{"Gate", 0}, {"Door", 3}};
const Presets kNew = {{"Tor S\xC3\xBC" "d", 1}, {"Parking lot", 2}, {"Loading bay", 5}, {"Roof", 7}};

// One save of the whole channel, as the preset list rewrites it.
bool SaveChannel(CXMLPrepositionReader& storage, const Presets& presets) {
    CLockHolder hold(storage.Lock());
    storage.SetSavingFlag(false);
    storage.ClearChannel(0);
    for (std::size_t i = 0; i < presets.size(); ++i) storage.WriteEntry(0, static_cast<uint32_t>(i), presets[i]);
    storage.SetSavingFlag(true);
    return storage.Save();
}

Presets Load(const std::string& base) {
    CXMLPrepositionReader storage("root");
    storage.Document().SetBaseDirectory(base);
    Presets found;
    if (storage.Document().Open(kFile) != CXMLSettingsAPI::kOk) return found;
    CXMLPrepositionReader::SPreset preset;
    for (uint32_t i = 0; storage.ReadEntry(0, i, preset); ++i) found.push_back(preset);
    return found;
}

bool Same(const Presets& a, const Presets& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].slot != b[i].slot) return false;
    return true;
}

// The bytes a save of presets writes into a fresh file.
std::string FileOf(const Presets& presets, double* saveMicroseconds = nullptr) {
    wftest::CScratchDirectory dir;
    CXMLPrepositionReader storage("root");
    storage.Document().SetBaseDirectory(dir.Base());
    EXPECT_TRUE(storage.Initialize(kFile));
    constexpr int kSaves = 20;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kSaves; ++i) EXPECT_TRUE(SaveChannel(storage, presets));
    if (saveMicroseconds != nullptr)
        *saveMicroseconds =
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / kSaves;
    return dir.Read(kFile);
}

}  // namespace

TEST(PresetFileDurability, KilledWritersLeaveTheOldOrTheNewFile) {
    double saveUs = 0;
    const std::string oldBytes = FileOf(kOld, &saveUs);
    const std::string newBytes = FileOf(kNew);
    ASSERT_NE(oldBytes, newBytes);

    wftest::CScratchDirectory dir;
    {
        CXMLPrepositionReader storage("root");
        storage.Document().SetBaseDirectory(dir.Base());
        ASSERT_TRUE(storage.Initialize(kFile));
        ASSERT_TRUE(SaveChannel(storage, kOld));
    }
    ASSERT_EQ(dir.Read(kFile), oldBytes);

    // Kills spread over about three saves from the writer's first one, so
    // that they land in every step of a save: the document written out, the
    // flush, the rename.
    const auto spread = static_cast<unsigned>(std::max(3 * saveUs, 50.0));
    std::mt19937 random(20);
    std::uniform_int_distribution<unsigned> delayUs(0, spread);
    constexpr int kKills = 1000;
    int sawOld = 0, sawNew = 0, tempLeft = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            CXMLPrepositionReader storage("root");
            storage.Document().SetBaseDirectory(dir.Base());
            if (!storage.Initialize(kFile)) ::_exit(3);
            const char go = 1;
            if (::write(ready[1], &go, 1) != 1) ::_exit(4);
            for (int i = 0;; ++i) SaveChannel(storage, i % 2 == 0 ? kNew : kOld);
        }
        ::close(ready[1]);
        char go = 0;
        const bool started = ::read(ready[0], &go, 1) == 1;
        ::close(ready[0]);
        if (started) std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(started) << "the writer could not open the preset file, status " << status;
        ASSERT_TRUE(WIFSIGNALED(status));

        const std::string bytes = dir.Read(kFile);
        const Presets loaded = Load(dir.Base());
        if (bytes == oldBytes && Same(loaded, kOld)) {
            ++sawOld;
        } else if (bytes == newBytes && Same(loaded, kNew)) {
            ++sawNew;
        } else {
            FAIL() << "after kill " << kill << " the file holds " << bytes.size() << " bytes:\n" << bytes;
        }
        if (std::filesystem::exists(dir.File(std::string(kFile) + ".tmp"))) ++tempLeft;
    }
    EXPECT_EQ(sawOld + sawNew, kKills);
    // The writer got through whole saves, so the kills fell during writes
    // and not only before the first one.
    EXPECT_GT(sawNew, 0);
    std::printf("%d kills over %u us (a save takes %.0f us): old file %d, new file %d, unfinished save left %d\n",
                kKills, spread, saveUs, sawOld, sawNew, tempLeft);
}

#endif  // _WIN32
