#include "ptz/CXMLPrepositionReader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "CRecordingLog.h"
#include "PtzTestTools.h"

namespace {

constexpr const char* kFile = "HuntAsoni_001A2B3C4D5E.preset";
const std::string kGoodFile =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><root><PtzChannel01><Preposition000><Name value=\"Gate\"/>"
    "<Slot value=\"3\"/></Preposition000></PtzChannel01></root>";

class CXMLPrepositionReaderTest : public ::testing::Test {
protected:
    std::unique_ptr<CXMLPrepositionReader> MakeReader() {
        auto reader = std::make_unique<CXMLPrepositionReader>("root");
        reader->Document().SetBaseDirectory(dir.Base());
        return reader;
    }

    wftest::CScratchDirectory dir;
    wftest::CRecordingLog log;
};

TEST_F(CXMLPrepositionReaderTest, OpensCreatesOrSetsAsideEachKindOfFile) {
    const struct {
        const char* name;
        const char* content;  // null: no file at all
        bool opens;
        bool setAside;
    } kCases[] = {
        {"missing file", nullptr, true, false},
        {"empty file", "", true, false},
        {"not XML", "PtzChannel01=Gate", true, true},
        {"truncated", "<?xml version='1.0'?><root><PtzChannel01><Prepos", true, true},
        {"no document element", "<?xml version='1.0'?>", true, true},
    };
    for (const auto& c : kCases) {
        wftest::CScratchDirectory caseDir;
        if (c.content != nullptr) caseDir.Write(kFile, c.content);
        CXMLPrepositionReader reader("root");
        reader.Document().SetBaseDirectory(caseDir.Base());
        wftest::CRecordingLog caseLog;
        EXPECT_EQ(reader.Initialize(kFile, &caseLog), c.opens) << c.name;
        EXPECT_TRUE(reader.SavingFlag()) << c.name;
        const auto files = caseDir.Files();
        EXPECT_EQ(files.size(), c.setAside ? 2u : 1u) << c.name;
        if (c.setAside) {
            // The old bytes are kept under a name with the time in it.
            for (const auto& file : files)
                if (file != kFile) { EXPECT_EQ(caseDir.Read(file), c.content) << c.name; }
            ASSERT_EQ(caseLog.Lines().size(), 1u) << c.name;
            EXPECT_EQ(caseLog.Lines()[0].level, 2) << c.name;
            EXPECT_NE(caseLog.Lines()[0].text.find("was renamed to"), std::string::npos) << c.name;
        }
        const std::string created = caseDir.Read(kFile);
        EXPECT_NE(created.find("<?xml version"), std::string::npos) << c.name;
        EXPECT_NE(created.find("<root"), std::string::npos) << c.name;
    }
}

TEST_F(CXMLPrepositionReaderTest, NeverWritesOverAFileItCannotRead) {
    // A directory in the file's place cannot be read as a file by anyone.
    std::filesystem::create_directory(dir.File(kFile));
    auto reader = MakeReader();
    EXPECT_FALSE(reader->Initialize(kFile, &log));
    EXPECT_FALSE(reader->WriteEntry(0, 0, {"Gate", 0}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.File(kFile)));
    EXPECT_EQ(dir.Files().size(), 1u);
}

TEST_F(CXMLPrepositionReaderTest, FailsWhereNoFileCanBeWritten) {
    auto reader = std::make_unique<CXMLPrepositionReader>("root");
    reader->Document().SetBaseDirectory((dir.File("no-such-dir") / "").string());
    EXPECT_FALSE(reader->Initialize(kFile, &log));
    CXMLPrepositionReader::SPreset preset;
    EXPECT_FALSE(reader->ReadEntry(0, 0, preset));
}

TEST_F(CXMLPrepositionReaderTest, ReadsEntriesAndTheirSlots) {
    dir.Write(kFile,
              "<?xml version=\"1.0\" encoding=\"utf-8\"?><root><PtzChannel02>"
              "<Preposition000><Name value=\"A\"/><Slot value=\"7\"/></Preposition000>"
              "<Preposition001><Name value=\"B\"/><Slot value=\"12abc\"/></Preposition001>"
              "<Preposition002><Name value=\"C\"/><Slot value=\"x1\"/></Preposition002>"
              "<Preposition003><Name value=\"\"/><Slot value=\"1\"/></Preposition003>"
              "<Preposition004><Name value=\"E\"/></Preposition004>"
              "<Preposition005><Name value=\"F\"/><Slot value=\"-1\"/></Preposition005>"
              "</PtzChannel02></root>");
    auto reader = MakeReader();
    ASSERT_TRUE(reader->Initialize(kFile, &log));
    const struct {
        uint32_t index;
        bool valid;
        const char* name;
        uint32_t slot;
    } kCases[] = {{0, true, "A", 7},  {1, true, "B", 12}, {2, false, "C", 0},
                  {3, false, "", 0},  {4, false, "E", 0}, {5, false, "F", 0}, {6, false, "", 0}};
    for (const auto& c : kCases) {
        CXMLPrepositionReader::SPreset preset;
        EXPECT_EQ(reader->ReadEntry(1, c.index, preset), c.valid) << c.index;
        EXPECT_EQ(preset.name, c.name) << c.index;
        if (c.valid) { EXPECT_EQ(preset.slot, c.slot) << c.index; }
    }
    CXMLPrepositionReader::SPreset preset;
    EXPECT_FALSE(reader->ReadEntry(0, 0, preset)) << "channel 1 has no element";
}

TEST_F(CXMLPrepositionReaderTest, WritesEachEntryToDiskAndClearsChannels) {
    auto reader = MakeReader();
    ASSERT_TRUE(reader->Initialize(kFile, &log));
    EXPECT_TRUE(reader->WriteEntry(0, 0, {"Gate", 0}));
    EXPECT_TRUE(reader->WriteEntry(99, 12, {"Far", 5}));
    const std::string written = dir.Read(kFile);
    EXPECT_NE(written.find("<PtzChannel01>"), std::string::npos) << written;
    EXPECT_NE(written.find("<PtzChannel100>"), std::string::npos) << written;
    EXPECT_NE(written.find("<Preposition012>"), std::string::npos) << written;

    auto restarted = MakeReader();
    ASSERT_TRUE(restarted->Initialize(kFile, &log));
    CXMLPrepositionReader::SPreset preset;
    ASSERT_TRUE(restarted->ReadEntry(0, 0, preset));
    EXPECT_EQ(preset.name, "Gate");
    EXPECT_EQ(preset.slot, 0u);
    EXPECT_TRUE(restarted->ClearChannel(0));
    EXPECT_FALSE(restarted->ClearChannel(0));
    EXPECT_EQ(dir.Read(kFile).find("PtzChannel01"), std::string::npos);
}

// A host restarted many times rewrites the same channel each time: the file
// must come out the same every time, not gain a line per rewrite.
TEST_F(CXMLPrepositionReaderTest, RewritingAChannelAfterRestartsLeavesTheSameFile) {
    {
        auto reader = MakeReader();
        ASSERT_TRUE(reader->Initialize(kFile, &log));
        ASSERT_TRUE(reader->WriteEntry(1, 0, {"Yard", 2}));
    }
    std::string first;
    for (int restart = 0; restart < 4; ++restart) {
        auto reader = MakeReader();
        ASSERT_TRUE(reader->Initialize(kFile, &log));
        {
            CLockHolder hold(reader->Lock());
            reader->SetSavingFlag(false);
            reader->ClearChannel(0);
            reader->WriteEntry(0, 0, {"Gate", 1});
            reader->WriteEntry(0, 1, {"Door", 4});
            reader->SetSavingFlag(true);
            ASSERT_TRUE(reader->Save());
        }
        if (restart == 0) first = dir.Read(kFile);
        EXPECT_EQ(dir.Read(kFile), first) << "after restart " << restart;
    }
}

// Writes a preset file for another XML library to read (read-preset-file.py,
// run by ctest): names outside ASCII and with markup characters must come
// back unchanged. Without WF_PRESET_EXPORT_DIR there is nothing to do.
TEST(CXMLPrepositionReaderExport, WritesAFileForAnotherReader) {
    const char* directory = std::getenv("WF_PRESET_EXPORT_DIR");
    if (directory == nullptr) GTEST_SKIP() << "run through ctest's preset file check";
    const std::string names[] = {"Tor S\xC3\xBC" "d", "\xD0\x92\xD0\xBE\xD1\x80\xD0\xBE\xD1\x82\xD0\xB0",
                                 "\xE6\xAD\xA3\xE9\x96\x80 100%", "a&b<c>\"d\""};
    CXMLPrepositionReader reader("root");
    reader.Document().SetBaseDirectory(std::string(directory) + "/");
    ASSERT_TRUE(reader.Initialize(kFile));
    for (uint32_t i = 0; i < 4; ++i) ASSERT_TRUE(reader.WriteEntry(1, i, {names[i], i * 2}));
}

}  // namespace
