#include "CFrameQueue.h"

#include <gtest/gtest.h>

namespace camsim {
namespace {

class CFrameQueueTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gst_init(nullptr, nullptr); }
};

std::shared_ptr<const CEncodedFrame> Frame(std::uint64_t number, bool key, std::size_t size = 100) {
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, size, nullptr);
    if (!key) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
    auto frame = std::make_shared<const CEncodedFrame>(buffer, number);
    gst_buffer_unref(buffer);
    return frame;
}

TEST_F(CFrameQueueTest, HandsOutPicturesInOrder) {
    CFrameQueue queue(1000);
    queue.OnFrame(Frame(1, true));
    queue.OnFrame(Frame(2, false));
    EXPECT_EQ(queue.Pop(std::chrono::milliseconds(0))->Number(), 1u);
    EXPECT_EQ(queue.Pop(std::chrono::milliseconds(0))->Number(), 2u);
    EXPECT_EQ(queue.Pop(std::chrono::milliseconds(0)), nullptr);
}

TEST_F(CFrameQueueTest, ASlowReaderLosesTheBacklogAndResumesAtTheNextKeyPicture) {
    CFrameQueue queue(250);
    queue.OnFrame(Frame(1, true));
    queue.OnFrame(Frame(2, false));
    queue.OnFrame(Frame(3, false));  // over the limit: 1 and 2 go, 3 cannot be decoded alone
    queue.OnFrame(Frame(4, false));
    EXPECT_EQ(queue.Pop(std::chrono::milliseconds(0)), nullptr);
    queue.OnFrame(Frame(5, true));
    queue.OnFrame(Frame(6, false));
    EXPECT_EQ(queue.Pop(std::chrono::milliseconds(0))->Number(), 5u);
    EXPECT_EQ(queue.Pop(std::chrono::milliseconds(0))->Number(), 6u);
    EXPECT_EQ(queue.DroppedFrames(), 4u);
}

TEST_F(CFrameQueueTest, KeepsAKeyPictureThatArrivesWhenTheQueueIsFull) {
    CFrameQueue queue(250);
    queue.OnFrame(Frame(1, true));
    queue.OnFrame(Frame(2, true));
    queue.OnFrame(Frame(3, true));
    EXPECT_EQ(queue.Pop(std::chrono::milliseconds(0))->Number(), 3u);
}

}  // namespace
}  // namespace camsim
