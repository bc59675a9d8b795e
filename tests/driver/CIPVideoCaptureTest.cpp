#include "driver/CIPVideoCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CHostCaptureParams.h"
#include "CHostFrameSink.h"

namespace {

using talvex::CaptureSettings;

struct SChannelLog {
    int created = 0;
    int started = 0;
    int stopped = 0;
    int destroyed = 0;
    std::vector<CaptureSettings> starts;
    std::vector<CaptureSettings> reconfigures;
    std::vector<std::string>* trace = nullptr;
};

class CFakeChannel final : public talvex::ICameraChannel {
public:
    CFakeChannel(SChannelLog& log, bool startResult, int32_t state)
        : m_log(log), m_startResult(startResult), m_state(state) {}
    ~CFakeChannel() override { ++m_log.destroyed; }
    bool Start(const CaptureSettings& settings) override {
        ++m_log.started;
        m_log.starts.push_back(settings);
        if (m_log.trace != nullptr) m_log.trace->push_back("Start");
        return m_startResult;
    }
    void Stop() override { ++m_log.stopped; }
    bool Reconfigure(const CaptureSettings& settings) override {
        m_log.reconfigures.push_back(settings);
        return true;
    }
    int32_t GetState() override { return m_state; }

private:
    SChannelLog& m_log;
    bool m_startResult;
    int32_t m_state;
};

class CFakeFactory final : public talvex::ICustomCreator {
public:
    talvex::ICameraChannel* CreateChannel(unsigned int, talvex::ipcapture::IHostFrameSink*) override {
        if (!makeChannels) return nullptr;
        ++log.created;
        return new CFakeChannel(log, startResult, state);
    }
    talvex::ICameraChannel* CreateAuxChannel(unsigned int, talvex::ipcapture::IHostFrameSink*) override {
        return nullptr;
    }
    SChannelLog log;
    bool makeChannels = true;
    bool startResult = true;
    int32_t state = talvex::kChannelStopped;
};

class CIPVideoCaptureTest : public ::testing::Test {
protected:
    CFakeFactory factory;
    wftest::CHostFrameSink sink;
    wftest::CHostCaptureParams params;
};

TEST_F(CIPVideoCaptureTest, StartsOnlyInputsWithinTheChannelCount) {
    talvex::CIPVideoCapture capture(&factory, 4);
    EXPECT_EQ(capture.GetChannelCount(), 4u);
    EXPECT_FALSE(capture.StartChannel(4, &sink, &params));
    EXPECT_EQ(factory.log.created, 0);
    params.stream.frameIntervalMs = 100;
    params.stream.quality = 70;
    params.input.resolution = wftest::CHostResolution(704, 576);
    EXPECT_TRUE(capture.StartChannel(3, &sink, &params));
    ASSERT_EQ(factory.log.starts.size(), 1u);
    EXPECT_EQ(factory.log.starts[0].FrameIntervalMs, 100u);
    EXPECT_EQ(factory.log.starts[0].Quality, 70u);
    EXPECT_EQ(factory.log.starts[0].Width, 704u);
    EXPECT_EQ(factory.log.starts[0].Height, 576u);
}

TEST_F(CIPVideoCaptureTest, StopReportsWhetherAnythingRan) {
    talvex::CIPVideoCapture capture(&factory, 2);
    EXPECT_FALSE(capture.StopChannel(0));
    ASSERT_TRUE(capture.StartChannel(0, &sink, &params));
    EXPECT_TRUE(capture.StopChannel(0));
    EXPECT_FALSE(capture.StopChannel(0));
    EXPECT_FALSE(capture.StopChannel(7));
    EXPECT_EQ(factory.log.stopped, 1);
    EXPECT_EQ(factory.log.destroyed, 1);
}

TEST_F(CIPVideoCaptureTest, RestartReplacesTheRunningChannel) {
    talvex::CIPVideoCapture capture(&factory, 1);
    ASSERT_TRUE(capture.StartChannel(0, &sink, &params));
    ASSERT_TRUE(capture.StartChannel(0, &sink, &params));
    EXPECT_EQ(factory.log.created, 2);
    EXPECT_EQ(factory.log.destroyed, 1);
}

TEST_F(CIPVideoCaptureTest, FailedStartStaysUntilStopped) {
    factory.startResult = false;
    talvex::CIPVideoCapture capture(&factory, 1);
    EXPECT_FALSE(capture.StartChannel(0, &sink, &params));
    int32_t state = -1;
    int32_t reserved = -1;
    EXPECT_TRUE(capture.GetChannelStatus(0, &state, &reserved, nullptr, 0));
    EXPECT_TRUE(capture.StopChannel(0));
}

TEST_F(CIPVideoCaptureTest, NoChannelKindMeansNoStart) {
    factory.makeChannels = false;
    talvex::CIPVideoCapture capture(&factory, 1);
    EXPECT_FALSE(capture.StartChannel(0, &sink, &params));
    EXPECT_FALSE(capture.StopChannel(0));
}

TEST_F(CIPVideoCaptureTest, StatusReportsStoppedAsSignalLost) {
    talvex::CIPVideoCapture capture(&factory, 2);
    int32_t state = -1;
    int32_t reserved = -1;
    char text[8] = "junk";
    EXPECT_FALSE(capture.GetChannelStatus(0, &state, &reserved, text, sizeof text));
    EXPECT_EQ(reserved, 0);
    EXPECT_EQ(text[0], '\0');

    ASSERT_TRUE(capture.StartChannel(0, &sink, &params));
    reserved = -1;
    EXPECT_TRUE(capture.GetChannelStatus(0, &state, &reserved, nullptr, 0));
    EXPECT_EQ(state, talvex::kChannelSignalLost);
    EXPECT_EQ(reserved, 0);

    factory.state = talvex::kChannelReceiving;
    ASSERT_TRUE(capture.StartChannel(1, &sink, &params));
    EXPECT_TRUE(capture.GetChannelStatus(1, &state, &reserved, text, sizeof text));
    EXPECT_EQ(state, talvex::kChannelReceiving);
    EXPECT_FALSE(capture.GetChannelStatus(2, &state, &reserved, text, sizeof text));
}

TEST_F(CIPVideoCaptureTest, ChangeSettingsReachesOnlyARunningChannel) {
    talvex::CIPVideoCapture capture(&factory, 1);
    wftest::CHostResolution resolution(1280, 720);
    EXPECT_FALSE(capture.ChangeSettings(0, &resolution, 200));
    ASSERT_TRUE(capture.StartChannel(0, &sink, &params));
    EXPECT_TRUE(capture.ChangeSettings(0, &resolution, 200));
    ASSERT_EQ(factory.log.reconfigures.size(), 1u);
    EXPECT_EQ(factory.log.reconfigures[0].FrameIntervalMs, 200u);
    EXPECT_EQ(factory.log.reconfigures[0].Quality, 0u);
    EXPECT_EQ(factory.log.reconfigures[0].Width, 1280u);
    EXPECT_EQ(factory.log.reconfigures[0].Height, 720u);
}

TEST_F(CIPVideoCaptureTest, UnsupportedQueriesAnswerFalse) {
    talvex::CIPVideoCapture capture(&factory, 1);
    ASSERT_TRUE(capture.StartChannel(0, &sink, &params));
    EXPECT_EQ(capture.GetReservedObject(), nullptr);
    EXPECT_FALSE(capture.ReservedQueryA(0, nullptr, 0));
    EXPECT_FALSE(capture.ReservedQueryB(0, nullptr, 0));
    EXPECT_FALSE(capture.QueryChannelOptionA(0));
    EXPECT_FALSE(capture.QueryChannelOptionB(0));
}

TEST_F(CIPVideoCaptureTest, DestructionStopsEveryRunningInput) {
    {
        talvex::CIPVideoCapture capture(&factory, 3);
        ASSERT_TRUE(capture.StartChannel(0, &sink, &params));
        ASSERT_TRUE(capture.StartChannel(2, &sink, &params));
    }
    EXPECT_EQ(factory.log.stopped, 2);
    EXPECT_EQ(factory.log.destroyed, 2);
}

}  // namespace

TEST_F(CIPVideoCaptureTest, AsksForTheAuxiliaryChannelOnlyAfterTheMainOneStarted) {
    std::vector<std::string> trace;
    factory.log.trace = &trace;
    params.stream.trace = &trace;
    talvex::CIPVideoCapture capture(&factory, 1);
    EXPECT_TRUE(capture.StartChannel(0, &sink, &params));
    EXPECT_EQ(trace, (std::vector<std::string>{"Start", "IsAuxEnabled"}));

    trace.clear();
    factory.startResult = false;  // a main channel that failed to start wants no companion
    EXPECT_FALSE(capture.StartChannel(0, &sink, &params));
    EXPECT_EQ(trace, (std::vector<std::string>{"Start"}));
}
