#include "support/FNWSerialQueue.h"

#include "FNWTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <vector>

namespace {

using namespace std::chrono_literals;

TEST(FNWSerialQueue, RunsBlocksOneAtATimeInOrderFromManyThreads)
{
    FNWSerialQueue queue("test.order");
    std::vector<int> seen;
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::vector<std::thread> producers;
    for (int p = 0; p < 4; ++p) {
        producers.emplace_back([&, p] {
            for (int i = 0; i < 250; ++i) {
                queue.async([&, p, i] {
                    if (running.fetch_add(1) != 0)
                        overlapped = true;
                    seen.push_back(p * 1000 + i);
                    running.fetch_sub(1);
                });
            }
        });
    }
    for (auto& t : producers)
        t.join();
    queue.sync([] {});
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(seen.size(), 1000u);
    // Each producer's blocks keep their relative order.
    std::vector<int> last(4, -1);
    for (int v : seen) {
        EXPECT_GT(v % 1000, last[v / 1000]);
        last[v / 1000] = v % 1000;
    }
}

TEST(FNWSerialQueue, SyncFromTheQueueItselfRunsInPlace)
{
    FNWSerialQueue queue("test.nested");
    bool inner = false;
    queue.sync([&] {
        EXPECT_TRUE(queue.isCurrent());
        EXPECT_EQ(FNWSerialQueue::currentLabel(), "test.nested");
        queue.sync([&] { inner = true; });
    });
    EXPECT_TRUE(inner);
    EXPECT_FALSE(queue.isCurrent());
    EXPECT_EQ(FNWSerialQueue::currentLabel(), "");
}

TEST(FNWSerialQueue, DelayedBlocksRunInDueOrderAndCanBeCancelled)
{
    FNWSerialQueue queue("test.timers");
    std::vector<int> fired;
    std::promise<void> done;
    queue.asyncAfter(30ms, [&] {
        fired.push_back(2);
        done.set_value();
    });
    const auto cancelled = queue.asyncAfter(10ms, [&] { fired.push_back(99); });
    queue.asyncAfter(0ms, [&] { fired.push_back(1); });
    queue.cancel(cancelled);
    ASSERT_EQ(done.get_future().wait_for(10s), std::future_status::ready);
    queue.sync([] {});
    EXPECT_EQ(fired, (std::vector<int>{1, 2}));
}

TEST(FNWSerialQueue, DestructionRunsWhatWasQueuedButDropsPendingTimers)
{
    std::atomic<int> ran{0};
    bool timerRan = false;
    {
        FNWSerialQueue queue("test.drain");
        queue.async([&] { std::this_thread::yield(); });
        for (int i = 0; i < 100; ++i)
            queue.async([&] { ++ran; });
        queue.asyncAfter(1h, [&] { timerRan = true; });
    }
    EXPECT_EQ(ran, 100);
    EXPECT_FALSE(timerRan);
}

} // namespace
