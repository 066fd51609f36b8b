#pragma once

#include "platform/x11/Xlib.h"

namespace platform::x11 {

// Keeps X protocol errors caused on one display connection away from the host. Xlib's error handler
// is process-wide and its default ends the process, so while a trap lives every error of our display
// is recorded instead, and errors of any other display (the host's own) go on to the handler that was
// installed before. The handler is installed before the trap's first round trip: synchronising at the
// start reads the errors of requests made before the trap too (a picture sent into a window the host
// has destroyed since), and those are ours as well. Destruction synchronises before the previous handler
// is put back, so the errors of the trap's own requests arrive inside it; nothing that points into this
// library stays installed once the trap ends.
//
// A light trap (synchronous false) skips both synchronisations: errors of requests made in it are then
// read, and swallowed, by whichever later trap reads from the display. That is safe as long as every
// call that reads from the display happens inside a trap, and it saves two round trips per host idle.
//
// Traps nest on one thread; editors on different threads take turns.
class X11ErrorTrap {
public:
    explicit X11ErrorTrap(Display* display, bool synchronous = true);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Synchronises and answers whether any error of our display arrived since the trap (or the last
    // Reset) began.
    bool Failed();
    // The code of the first error recorded (BadWindow, BadMatch ...); 0 when none.
    int FirstError() const;
    void Reset();
    // Whether an error read inside this trap (those of earlier requests included) said that resource
    // is no window or drawable (any more): the host destroyed it. Reads nothing from the display.
    bool Lost(XID resource) const;
    // Synchronises and stops using the display, which the caller is about to close inside the trap
    // (closing a display reads its last errors).
    void ReleaseDisplay();

    // How many lost resources a trap remembers (the oldest go first).
    static constexpr int kLostCapacity = 4;

private:
    Display* display_;
    bool synchronous_;
    Display* outerDisplay_;
    int outerFirstError_;
    XID outerLost_[kLostCapacity];
    int outerLostCount_;
};

} // namespace platform::x11
