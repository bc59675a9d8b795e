#include "ptz/CXMLSettingsAPI.h"

#include <gtest/gtest.h>

#include "PtzTestTools.h"

namespace {

class CXMLSettingsAPITest : public ::testing::Test {
protected:
    void SetUp() override { settings.SetBaseDirectory(dir.Base()); }

    wftest::CScratchDirectory dir;
    CXMLSettingsAPI settings;
};

TEST_F(CXMLSettingsAPITest, OpenFailsOnAMissingOrEmptyFileAndSaysWhy) {
    EXPECT_EQ(settings.Open("absent.xml"), CXMLSettingsAPI::kFailed);
    EXPECT_EQ(settings.LastOpenFailure(), CXMLSettingsAPI::EOpenFailure::MissingOrEmpty);
    dir.Write("empty.xml", "");
    EXPECT_EQ(settings.Open("empty.xml"), CXMLSettingsAPI::kFailed);
    EXPECT_EQ(settings.LastOpenFailure(), CXMLSettingsAPI::EOpenFailure::MissingOrEmpty);
    dir.Write("garbage.xml", "<root><a></root>");
    EXPECT_EQ(settings.Open("garbage.xml"), CXMLSettingsAPI::kFailed);
    EXPECT_EQ(settings.LastOpenFailure(), CXMLSettingsAPI::EOpenFailure::NotXml);
    EXPECT_EQ(settings.Open(nullptr), CXMLSettingsAPI::kInvalidArgument);
    EXPECT_FALSE(settings.IsOpen());
}

TEST_F(CXMLSettingsAPITest, CreatesTheFileAndMissingElementsOnTheWay) {
    ASSERT_EQ(settings.CreateNew("root", "new.xml"), 1);
    ASSERT_EQ(settings.Open("new.xml"), CXMLSettingsAPI::kOk);
    EXPECT_EQ(settings.SetValue("x", "root/%s/B", "A"), 1);
    std::string value;
    EXPECT_EQ(settings.GetValue(value, "root/A/B"), "x");
    EXPECT_TRUE(settings.Exists("root/A"));
    // Element without a value attribute, missing element, other root.
    EXPECT_EQ(settings.GetValue(value, "root/A"), "");
    EXPECT_EQ(settings.GetValue(value, "root/C"), "");
    EXPECT_EQ(settings.SetValue("y", "other/A"), 0);
    EXPECT_EQ(settings.SetValue("y", "root/A[2]/B"), 0);
    ASSERT_EQ(settings.Save(), 1);
    EXPECT_EQ(dir.Files().size(), 1u) << "no temporary file is left beside the saved one";

    CXMLSettingsAPI reopened;
    reopened.SetBaseDirectory(dir.Base());
    ASSERT_EQ(reopened.Open("new.xml"), CXMLSettingsAPI::kOk);
    EXPECT_EQ(reopened.GetValue(value, "root/A/B"), "x");
    EXPECT_EQ(reopened.Remove("root/A"), 1);
    EXPECT_FALSE(reopened.Exists("root/A/B"));
    EXPECT_EQ(reopened.Remove("root/A"), 0);
    // A second open only counts; the last close drops the document.
    EXPECT_EQ(reopened.Open("new.xml"), CXMLSettingsAPI::kOk);
    EXPECT_EQ(reopened.Close(), 1);
    EXPECT_EQ(reopened.Close(), 0);
    EXPECT_EQ(reopened.GetValue(value, "root"), "");
    EXPECT_EQ(reopened.Save(), 0);
}

TEST_F(CXMLSettingsAPITest, RefusesValuesAnXmlFileCannotHoldAndOverlongPaths) {
    ASSERT_EQ(settings.CreateNew("root", "v.xml"), 1);
    ASSERT_EQ(settings.Open("v.xml"), CXMLSettingsAPI::kOk);
    const struct {
        const char* name;
        std::string value;
        int32_t result;
    } kCases[] = {
        {"empty", "", 0},
        {"lone continuation byte", "a\x80", 0},
        {"cut multi-byte character", "\xC3", 0},
        {"overlong encoding", "\xC0\xAF", 0},
        {"control character", "a\x01", 0},
        {"non-ASCII letters", "Tor \xC3\xBC" "ber Br\xC3\xBC" "cke \xE2\x82\xAC", 1},
        {"percent signs and markup", "100% <b>&amp;", 1},
    };
    std::string value;
    for (const auto& c : kCases) {
        EXPECT_EQ(settings.SetValue(c.value, "root/V"), c.result) << c.name;
        if (c.result == 1) { EXPECT_EQ(settings.GetValue(value, "root/V"), c.value) << c.name; }
    }
    const std::string longName(1100, 'a');
    EXPECT_EQ(settings.SetValue("x", "root/%s", longName.c_str()), 0);
    EXPECT_FALSE(settings.Exists("root/%s", longName.c_str()));
}

}  // namespace
