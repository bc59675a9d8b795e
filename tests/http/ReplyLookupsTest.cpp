#include "http/ReplyLookups.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace talvex::HUtils;

struct SLookupCase {
    const char* name;
    const char* key;
    const char* body;
    const char* value;
};

const SLookupCase kGetValueCases[] = {
    {"first record", "VideoNum", "VideoNum=2<br>AudioNum=1<br>", "2"},
    {"second record", "AudioNum", "VideoNum=2<br>AudioNum=1<br>", "1"},
    {"missing closing tag", "AudioNum", "AudioNum=1", ""},
    {"missing name", "Device", "VideoNum=2<br>", ""},
    {"first match wins", "A", "A=1<br>A=2<br>", "1"},
    {"tail of a longer name matches", "Type", "CameraType=H264<br>Type=x<br>", "H264"},
    {"case-sensitive", "videonum", "VideoNum=2<br>", ""},
    {"empty value", "Name", "Name=<br>X=1<br>", ""},
    {"value is not trimmed", "Name", "Name= cam 1 <br>", " cam 1 "},
    {"name inside an earlier value", "Camera", "Model=MyCamera<br>Camera=X<br>", "X"},
    {"name without assign before another record", "Port", "Port<br>RtspPort=554<br>", "554"},
    {"no assign anywhere", "Port", "Port<br>", ""},
    {"value may hold an assign", "Url", "Url=a=b<br>", "a=b"},
};

TEST(ReplyLookupsTest, GetValueFindsEachRecordInTheTable) {
    for (const auto& c : kGetValueCases) EXPECT_EQ(GetValue(c.key, c.body, "=", "<br>"), c.value) << c.name;
}

TEST(ReplyLookupsTest, GetValueReturnsNothingForAnEmptyNameAssignOrEnd) {
    EXPECT_EQ(GetValue("", "=1<br>", "=", "<br>"), "");
    EXPECT_EQ(GetValue("A", "A=1<br>", "", "<br>"), "");
    EXPECT_EQ(GetValue("A", "A=1<br>", "=", ""), "");
}

TEST(ReplyLookupsTest, GetValueListDropsEmptyPieces) {
    struct SCase {
        const char* name;
        const char* body;
        std::vector<std::string> items;
    };
    const SCase cases[] = {
        {"trailing separator", "CodecType=h264,mjpeg,<br>", {"h264", "mjpeg"}},
        {"empty pieces everywhere", "CodecType=,h264,,mjpeg<br>", {"h264", "mjpeg"}},
        {"single item", "CodecType=mpeg4<br>", {"mpeg4"}},
        {"only separators", "CodecType=,,<br>", {}},
        {"missing record", "Other=1<br>", {}},
        {"no closing tag", "CodecType=h264,mjpeg", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(GetValueList("CodecType", c.body, ",", "<br>", "="), c.items) << c.name;
    EXPECT_TRUE(GetValueList("CodecType", "CodecType=a,b<br>", "", "<br>", "=").empty());
}

const SLookupCase kFindRecordCases[] = {
    {"name part is trimmed, value is not", "Input1Trig", "<br> Input1Trig =1<br>", "1"},
    {"value keeps blanks", "In", "<br>In= 1 <br>", " 1 "},
    {"last record without delimiter", "Out2", "<br>Out1=0<br>Out2=1", "1"},
    {"no tail match", "Trig", "<br>Input1Trig=1<br>Trig=7<br>", "7"},
    {"tail only", "Trig", "<br>Input1Trig=1<br>", ""},
    {"name in a value is skipped", "A", "<br>B=A<br>A=5<br>", "5"},
    {"assign beyond the record", "A", "<br>A<br>B=2<br>A=3<br>", "3"},
    {"empty value continues", "A", "<br>A=<br>A=4<br>", "4"},
    {"no assign at all", "A", "<br>A<br>", ""},
    {"first record at body start", "A", "A=9<br>", "9"},
    {"missing name", "Z", "<br>A=1<br>", ""},
    {"name that starts with a delimiter does not loop", "<x", "<x=<x=", ""},
    {"name that starts with the assign does not loop", "=x", "=x=x=x", ""},
};

TEST(ReplyLookupsTest, FindRecordValueMatchesWholeTrimmedNamesInTheTable) {
    for (const auto& c : kFindRecordCases) EXPECT_EQ(FindRecordValue(c.key, "=", c.body, "<>"), c.value) << c.name;
}

TEST(ReplyLookupsTest, FindRecordValueReadsRtspHeaderLinesWithOtherDelimiters) {
    const std::string head = "RTSP/1.0 200 OK\r\nCSeq: 3\r\nSession: 1234;timeout=60\r\n\r\n";
    EXPECT_EQ(FindRecordValue("Session", ":", head, "\r\n"), " 1234;timeout=60");
    EXPECT_EQ(FindRecordValue("timeout", "=", head, ";\r\n"), "60");
    EXPECT_EQ(FindRecordValue("", ":", head, "\r\n"), "");
    EXPECT_EQ(FindRecordValue("CSeq", ":", head, ""), "");
}

}  // namespace
