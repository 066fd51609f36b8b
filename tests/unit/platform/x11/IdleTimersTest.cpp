#include "platform/x11/IdleTimers.h"

#include <gtest/gtest.h>

namespace platform::x11 {
namespace {

// Runs idle calls every intervalMs from start to end and counts the ticks of timer 1.
int CountTicks(IdleTimers& timers, std::int64_t start, std::int64_t end, int intervalMs) {
    int ticks = 0;
    for (std::int64_t now = start; now <= end; now += intervalMs)
        ticks += static_cast<int>(timers.Due(now).size());
    return ticks;
}

TEST(IdleTimersTest, FiresOncePerDeadlineAndNeverFasterThanItsPeriod) {
    IdleTimers timers;
    timers.Start(1, 50, 0);
    EXPECT_TRUE(timers.Due(49).empty()) << "no tick before the first period has passed";
    EXPECT_EQ(timers.Due(50), std::vector<unsigned>{1});
    EXPECT_TRUE(timers.Due(60).empty()) << "the next deadline is one period after the last";
    EXPECT_EQ(timers.Due(100).size(), 1u);

    // A host that idles every 20 ms sees 20 ticks a second, as a 50 ms timer on such a host can.
    IdleTimers fast;
    fast.Start(1, 50, 0);
    EXPECT_EQ(CountTicks(fast, 20, 6000, 20), 120);
    // 15, 30 and 60 Hz hosts: never more than one tick per idle and never more than 20 per second.
    for (int interval : {66, 33, 16}) {
        IdleTimers t;
        t.Start(1, 50, 0);
        const int ticks = CountTicks(t, interval, 6000, interval);
        EXPECT_LE(ticks, 120) << "interval " << interval;
        EXPECT_GE(ticks, std::min(6000 / interval, 6000 / 50) * 9 / 10) << "interval " << interval;
    }
}

TEST(IdleTimersTest, ALateIdleGivesOneTickAndNoCatchUpBurst) {
    IdleTimers timers;
    timers.Start(1, 50, 0);
    EXPECT_EQ(timers.Due(1000).size(), 1u) << "twenty missed periods still give a single tick";
    EXPECT_TRUE(timers.Due(1001).empty());
    EXPECT_TRUE(timers.Due(1049).empty()) << "after a late tick the next one is a full period later";
    EXPECT_EQ(timers.Due(1050).size(), 1u);
}

TEST(IdleTimersTest, StopAndRestart) {
    IdleTimers timers;
    timers.Start(1, 50, 0);
    timers.Stop(1);
    EXPECT_FALSE(timers.Running(1));
    EXPECT_TRUE(timers.Due(500).empty());
    timers.Start(1, 50, 500);
    timers.Start(1, 100, 520); // a restart moves the deadline
    EXPECT_TRUE(timers.Due(570).empty());
    EXPECT_EQ(timers.Due(620).size(), 1u);
    timers.Start(1, 0, 700); // a period below 1 ms counts as 1 ms
    EXPECT_EQ(timers.Due(701).size(), 1u);
}

TEST(IdleTimersTest, PostedMessagesArriveInOrderAndLaterPostsWaitForTheNextDrain) {
    PostedQueue queue;
    queue.Post({1985, 7, 0});
    queue.Post({2, 8, -1});
    std::vector<PostedMessage> first = queue.TakeAll();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].id, 1985u);
    EXPECT_EQ(first[0].wParam, 7u);
    EXPECT_EQ(first[1].lParam, -1);
    EXPECT_TRUE(queue.Empty());

    // A handler that posts again while the queue is drained does not keep that drain going.
    queue.Post({3, 0, 0});
    for (const PostedMessage& m : queue.TakeAll())
        queue.Post({m.id + 1, 0, 0});
    EXPECT_EQ(queue.Size(), 1u);
    queue.Clear();
    EXPECT_TRUE(queue.TakeAll().empty()) << "a cleared queue delivers nothing";
}

} // namespace
} // namespace platform::x11
