#include "platform/x11/PointerTracker.h"

#include <gtest/gtest.h>

namespace platform::x11 {
namespace {

// A vertical knob drag as the knob does it: delta from the anchor, then a warp back to the anchor.
struct Drag {
    PointerTracker& tracker;
    Point anchor;
    int total = 0;

    void Motion(Point real, bool warpWorks) {
        if (!tracker.Observe(real))
            return; // echo of our own warp
        const int d = anchor.y - tracker.Position().y;
        total += d;
        tracker.Warped(anchor);
        if (warpWorks) {
            EXPECT_FALSE(tracker.Observe(anchor)) << "the warp's echo must not count as a motion";
        }
    }
};

TEST(PointerTrackerTest, DragDeltasFollowTheUserWhetherOrNotTheWarpWorks) {
    for (bool warpWorks : {true, false}) {
        PointerTracker tracker;
        const Point anchor{400, 300};
        EXPECT_TRUE(tracker.Observe(anchor));
        tracker.SetRelative(true); // the knob hid the cursor
        Drag drag{tracker, anchor};
        // The user moves up by 10, then 5, then 3 pixels.
        Point real = anchor;
        for (int step : {10, 5, 3}) {
            real = warpWorks ? Point{anchor.x, anchor.y - step} : Point{real.x, real.y - step};
            drag.Motion(real, warpWorks);
        }
        EXPECT_EQ(drag.total, 18) << (warpWorks ? "warps work" : "warps are ignored by the server");
        tracker.SetRelative(false);
        tracker.Observe({10, 20});
        EXPECT_EQ(tracker.Position(), (Point{10, 20})) << "with the cursor shown the real position counts";
    }
}

TEST(PointerTrackerTest, AnEchoArrivingAfterAMotionOfTheUserIsStillRecognised) {
    PointerTracker tracker;
    tracker.Observe({100, 100});
    tracker.SetRelative(true);
    tracker.Observe({100, 95}); // position 100,95
    tracker.Warped({100, 100}); // position back at the anchor
    // The user moved again before the server handled the warp: that motion counts...
    EXPECT_TRUE(tracker.Observe({100, 93}));
    EXPECT_EQ(tracker.Position(), (Point{100, 98}));
    // ...and the echo that follows does not.
    EXPECT_FALSE(tracker.Observe({100, 100}));
    EXPECT_EQ(tracker.Position(), (Point{100, 98}));
    EXPECT_TRUE(tracker.Observe({100, 99}));
    EXPECT_EQ(tracker.Position(), (Point{100, 97}));
    // A warp onto the pointer's own spot produces no echo, so nothing is waited for.
    tracker.Warped({100, 99});
    EXPECT_TRUE(tracker.Observe({100, 99})) << "a user motion to that spot later is not taken for an echo";
}

TEST(PointerTrackerTest, DoubleClickNeedsTheSameButtonSoonAndClose) {
    DoubleClickDetector d;
    EXPECT_FALSE(d.Press(1, {10, 10}, 1000));
    EXPECT_TRUE(d.Press(1, {13, 14}, 1400)) << "within 400 ms and 4 pixels";
    EXPECT_FALSE(d.Press(1, {13, 14}, 1500)) << "a third press starts a new pair";
    EXPECT_FALSE(d.Press(1, {13, 14}, 1901)) << "401 ms is too slow";
    EXPECT_FALSE(d.Press(1, {18, 14}, 2000)) << "5 pixels is too far";
    EXPECT_FALSE(d.Press(3, {18, 14}, 2100)) << "another button";
    EXPECT_TRUE(d.Press(3, {18, 14}, 2200));
    // The server's millisecond clock wraps at 32 bits.
    EXPECT_FALSE(d.Press(1, {0, 0}, 0xFFFFFF00ul));
    EXPECT_TRUE(d.Press(1, {0, 0}, 0x40ul)) << "a double click across the wrap";
}

} // namespace
} // namespace platform::x11
