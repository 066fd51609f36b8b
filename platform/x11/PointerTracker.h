#pragma once

#include "platform/Geometry.h"

#include <optional>

namespace platform::x11 {

// The pointer position a knob drag sees. While the cursor is shown it is the real position from the
// last event. While it is hidden the drag warps the pointer back to its anchor after each motion; the
// position then moves by the real motion measured from the last position seen, and the motion the
// warp itself causes (its echo) is recognised and skipped. A warp the server ignores (Xwayland does
// outside its rules) therefore only loses the endless drag, never makes the knob run away.
class PointerTracker {
public:
    // A pointer event at a real screen position. False when it is the echo of our own warp: such an
    // event carries no motion of the user and is not passed on.
    bool Observe(Point real);
    // The program moved the pointer to target (a warp request was sent).
    void Warped(Point target);
    // Hidden: relative tracking as above; shown: the position follows the real pointer.
    void SetRelative(bool relative);
    Point Position() const { return position_; }
    Point LastReal() const { return lastReal_; }

private:
    Point position_;
    Point lastReal_;
    std::optional<Point> pendingEcho_;
    bool relative_ = false;
};

// Tells the second press of a double click: the same button again within 400 ms and 4 pixels of the
// first press (X has no system setting for either). A third press starts a new pair.
class DoubleClickDetector {
public:
    static constexpr unsigned long kIntervalMs = 400;
    static constexpr int kDistance = 4;

    // A press with the server's time stamp (milliseconds, wrapping at 32 bits).
    bool Press(int button, Point position, unsigned long timeMs);
    void Reset() { hasFirst_ = false; }

private:
    bool hasFirst_ = false;
    int button_ = 0;
    Point position_;
    unsigned long time_ = 0;
};

} // namespace platform::x11
