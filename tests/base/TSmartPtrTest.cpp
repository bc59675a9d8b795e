#include "base/TSmartPtr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using talvex::TSmartPtr;

struct STracked {
    explicit STracked(std::atomic<int>& destroyed) : m_destroyed(destroyed) {}
    virtual ~STracked() { ++m_destroyed; }
    std::atomic<int>& m_destroyed;
};

TEST(TSmartPtrTest, DestroysTheObjectOnceWhenTheLastHandleGoes) {
    std::atomic<int> destroyed{0};
    {
        TSmartPtr<STracked> first(new STracked(destroyed));
        TSmartPtr<STracked> second(first);
        TSmartPtr<STracked> third;
        third = second;
        third = third;
        EXPECT_EQ(first.UseCount(), 3);
        first = nullptr;
        EXPECT_EQ(destroyed.load(), 0);
        EXPECT_EQ(second.UseCount(), 2);
        second = new STracked(destroyed);  // releases its share of the first object
        EXPECT_EQ(third.UseCount(), 1);
        EXPECT_EQ(destroyed.load(), 0);
    }
    EXPECT_EQ(destroyed.load(), 2);
}

TEST(TSmartPtrTest, CopyingAnEmptyHandleGivesAnEmptyOne) {
    TSmartPtr<STracked> empty;
    TSmartPtr<STracked> copy(empty);
    EXPECT_FALSE(copy);
    EXPECT_EQ(copy.UseCount(), 0);
}

TEST(TSmartPtrTest, HandlesCopiedAndDroppedOnManyThreadsFreeTheObjectExactlyOnce) {
    for (int round = 0; round < 50; ++round) {
        std::atomic<int> destroyed{0};
        {
            TSmartPtr<STracked> shared(new STracked(destroyed));
            std::vector<std::thread> threads;
            for (int t = 0; t < 4; ++t)
                threads.emplace_back([shared] {
                    for (int i = 0; i < 1000; ++i) {
                        TSmartPtr<STracked> copy(shared);
                        TSmartPtr<STracked> other;
                        other = copy;
                    }
                });
            for (auto& thread : threads) thread.join();
            EXPECT_EQ(shared.UseCount(), 1);
        }
        ASSERT_EQ(destroyed.load(), 1) << "round " << round;
    }
}

}  // namespace
