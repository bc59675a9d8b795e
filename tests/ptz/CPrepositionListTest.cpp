#include "ptz/CPrepositionList.h"

#include <gtest/gtest.h>

#include "CRecordingLog.h"
#include "PtzTestTools.h"
#include "base/FormatString.h"
#include "wrenfield/PTZ.h"

namespace {

using talvex::CPrepositionList;
using talvex::TSmartPtr;
using namespace talvex::ipcapture;

constexpr const char* kFile = "presets.preset";

// The camera side: records every command and refuses on request.
class CFakeCamera final : public talvex::IPrepositionComm {
public:
    bool SavePreset(uint32_t slot, const std::string&) override {
        commands.push_back("save " + std::to_string(slot));
        return !refuse;
    }
    bool GotoPreset(uint32_t slot, const std::string&, int32_t) override {
        commands.push_back("goto " + std::to_string(slot));
        return !refuse;
    }
    bool RemovePreset(uint32_t slot, const std::string&) override {
        commands.push_back("remove " + std::to_string(slot));
        return !refuse;
    }
    void DebugMessage(int32_t level, const char* format, ...) override WF_PRINTF_FORMAT(3, 4) {
        va_list arguments;
        va_start(arguments, format);
        log.Record(level, talvex::FormatStringV(format, arguments));
        va_end(arguments);
    }

    std::vector<std::string> commands;
    bool refuse = false;
    wftest::CRecordingLog log;
};

class CPrepositionListTest : public ::testing::Test {
protected:
    TSmartPtr<CXMLPrepositionReader> OpenStorage() {
        TSmartPtr<CXMLPrepositionReader> storage(new CXMLPrepositionReader("root"));
        storage->Document().SetBaseDirectory(dir.Base());
        EXPECT_TRUE(storage->Initialize(kFile));
        return storage;
    }

    std::unique_ptr<CPrepositionList> MakeList(uint32_t channel, uint32_t capacity,
                                               const TSmartPtr<CXMLPrepositionReader>& storage) {
        auto list = std::make_unique<CPrepositionList>(channel);
        list->Attach(&camera, capacity);
        list->Initialize(storage);
        return list;
    }

    std::vector<std::string> Names(CPrepositionList& list) {
        std::vector<std::string> names;
        std::string name;
        for (uint32_t i = 0; list.GetName(i, name); ++i) names.push_back(name);
        return names;
    }

    wftest::CScratchDirectory dir;
    CFakeCamera camera;
};

TEST_F(CPrepositionListTest, AddingStoresTheFirstFreeSlotAndWritesTheEntry) {
    auto list = MakeList(0, 4, OpenStorage());
    EXPECT_EQ(list->AddPreposition("Gate"), kPtzOk);
    EXPECT_EQ(camera.commands, std::vector<std::string>{"save 0"});
    std::string current;
    EXPECT_TRUE(list->GetCurrentName(current));
    EXPECT_EQ(current, "Gate");
    const std::string file = dir.Read(kFile);
    EXPECT_NE(file.find("<PtzChannel01>"), std::string::npos) << file;
    EXPECT_NE(file.find("<Preposition000>"), std::string::npos) << file;
    EXPECT_NE(file.find("<Name value=\"Gate\""), std::string::npos) << file;
    EXPECT_NE(file.find("<Slot value=\"0\""), std::string::npos) << file;

    // Adding again while the camera still stands there renames, with no command.
    EXPECT_EQ(list->AddPreposition("Front gate"), kPtzOk);
    EXPECT_EQ(list->GetCount(), 1u);
    EXPECT_EQ(camera.commands.size(), 1u);
    EXPECT_EQ(camera.log.Count("A preposition with index 0 was renamed from \"Gate\" to \"Front gate\"."), 1u);
    EXPECT_NE(dir.Read(kFile).find("Front gate"), std::string::npos);
}

TEST_F(CPrepositionListTest, RefusesInvalidNamesAndAFullList) {
    auto list = MakeList(0, 1, OpenStorage());
    const struct {
        const char* name;
        int32_t result;
    } kCases[] = {{"", kPtzBadArgument},     {"it's", kPtzBadArgument}, {"a&b", kPtzBadArgument},
                  {"<x>", kPtzBadArgument},  {"\"q\"", kPtzBadArgument}, {"hey!", kPtzBadArgument},
                  {"100%s", kPtzOk},         {"second", kPtzPresetsFull}};
    for (const auto& c : kCases) {
        EXPECT_EQ(list->AddPreposition(c.name), c.result) << c.name;
        list->ClearCurrent();
    }
    // Percent signs in the name reach the log as they are.
    EXPECT_EQ(camera.log.Count("A preposition \"it's\" cannot be added - the name is invalid."), 1u);
    EXPECT_EQ(camera.log.Count("A preposition \"second\" cannot be added. Camera supports saving not more than 1 "
                               "prepositions."),
              1u);
    auto none = MakeList(1, 0, OpenStorage());
    EXPECT_EQ(none->AddPreposition("Gate"), kPtzPresetsFull);
}

TEST_F(CPrepositionListTest, RemovalRewritesTheChannelAndFreesTheSlot) {
    auto storage = OpenStorage();
    auto list = MakeList(0, 4, storage);
    for (const char* name : {"A", "B", "C"}) {
        ASSERT_EQ(list->AddPreposition(name), kPtzOk);
        list->ClearCurrent();
    }
    EXPECT_TRUE(list->RemovePreset("B"));
    EXPECT_EQ(Names(*list), (std::vector<std::string>{"A", "C"}));
    const std::string file = dir.Read(kFile);
    EXPECT_EQ(file.find("Preposition002"), std::string::npos) << file;
    EXPECT_LT(file.find("\"A\""), file.find("\"C\"")) << file;
    ASSERT_EQ(list->AddPreposition("D"), kPtzOk);
    EXPECT_EQ(camera.commands.back(), "save 1");
    EXPECT_EQ(Names(*list), (std::vector<std::string>{"A", "C", "D"}));

    // A restarted driver reads the same list; recalling the current one sends nothing.
    auto restarted = MakeList(0, 4, OpenStorage());
    EXPECT_EQ(Names(*restarted), (std::vector<std::string>{"A", "C", "D"}));
    const std::size_t sent = camera.commands.size();
    EXPECT_TRUE(restarted->GotoPreset("C", 0));
    EXPECT_TRUE(restarted->GotoPreset("C", 0));
    EXPECT_EQ(camera.commands.size(), sent + 1);
    EXPECT_FALSE(restarted->GotoPreset("c", 0));
    EXPECT_FALSE(restarted->RemovePreset("nope"));
}

TEST_F(CPrepositionListTest, ACameraThatRefusesLeavesTheListAsItWas) {
    auto list = MakeList(0, 4, OpenStorage());
    ASSERT_EQ(list->AddPreposition("A"), kPtzOk);
    list->ClearCurrent();
    camera.refuse = true;
    EXPECT_EQ(list->AddPreposition("B"), kPtzNotPosted);
    EXPECT_FALSE(list->GotoPreset("A", 0));
    EXPECT_TRUE(list->RemovePreset("A")) << "the rewrite succeeded; the camera kept the preset";
    EXPECT_EQ(Names(*list), std::vector<std::string>{"A"});
}

TEST_F(CPrepositionListTest, LoadSkipsSlotsOutOfRangeRepeatedOrMalformed) {
    dir.Write(kFile,
              "<?xml version=\"1.0\"?><root><PtzChannel01>"
              "<Preposition000><Name value=\"A\"/><Slot value=\"2\"/></Preposition000>"
              "<Preposition001><Name value=\"TooFar\"/><Slot value=\"9\"/></Preposition001>"
              "<Preposition002><Name value=\"Again\"/><Slot value=\"2\"/></Preposition002>"
              "<Preposition004><Name value=\"B\"/><Slot value=\"0\"/></Preposition004>"
              "<Preposition005><Name value=\"Beyond\"/><Slot value=\"1\"/></Preposition005>"
              "</PtzChannel01></root>");
    auto list = MakeList(0, 5, OpenStorage());
    EXPECT_EQ(Names(*list), (std::vector<std::string>{"A", "B"}));
    ASSERT_EQ(list->AddPreposition("C"), kPtzOk);
    EXPECT_EQ(camera.commands.back(), "save 1");
}

TEST_F(CPrepositionListTest, ANameTheFileCannotHoldCostsNoOtherPreset) {
    auto list = MakeList(0, 4, OpenStorage());
    ASSERT_EQ(list->AddPreposition("A"), kPtzOk);
    list->ClearCurrent();
    // A control character passes the name check but no XML file can hold it.
    EXPECT_EQ(list->AddPreposition("bad\x01"), kPtzNotPosted);
    list->ClearCurrent();
    ASSERT_EQ(list->AddPreposition("C"), kPtzOk);
    list->ClearCurrent();
    EXPECT_FALSE(list->RemovePreset("A")) << "the rewrite could not hold every entry";
    EXPECT_EQ(Names(*list), (std::vector<std::string>{"bad\x01", "C"}));

    auto restarted = MakeList(0, 4, OpenStorage());
    EXPECT_EQ(Names(*restarted), std::vector<std::string>{"C"});
}

TEST_F(CPrepositionListTest, ReportsAFailedRewriteAndAMissingStorage) {
    auto storage = OpenStorage();
    auto list = MakeList(0, 4, storage);
    ASSERT_EQ(list->AddPreposition("A"), kPtzOk);
    list->ClearCurrent();
    ASSERT_EQ(list->AddPreposition("B"), kPtzOk);
    // The file's place taken by a directory: nothing can be saved there.
    std::filesystem::remove(dir.File(kFile));
    std::filesystem::create_directory(dir.File(kFile));
    EXPECT_FALSE(list->SaveAll());
    EXPECT_FALSE(list->RemovePreset("A"));

    CPrepositionList detached(0);
    detached.Attach(&camera, 4);
    EXPECT_FALSE(detached.Initialize(TSmartPtr<CXMLPrepositionReader>()));
    EXPECT_EQ(detached.AddPreposition("A"), kPtzNotPosted) << "stored on the camera but not in a file";
    EXPECT_EQ(detached.GetCount(), 1u);
    CPrepositionList noCamera(0);
    EXPECT_EQ(noCamera.AddPreposition("A"), kPtzNotPosted);
}

}  // namespace
