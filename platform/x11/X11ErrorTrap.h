#pragma once

#include "platform/x11/Xlib.h"

namespace platform::x11 {

// Keeps X protocol errors caused on one display connection away from the host. Xlib's error handler
// is process-wide and its default ends the process, so while a trap lives every error of our display
// is recorded instead, and errors of any other display (the host's own) go on to the handler that was
// installed before. Construction and destruction synchronise with the server, so errors of requests
// made inside the trap arrive inside it; the previous handler is back in place afterwards, leaving
// nothing that points into this library once it is unloaded.
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
    // Synchronises and stops using the display, which the caller is about to close inside the trap
    // (closing a display reads its last errors).
    void ReleaseDisplay();

private:
    Display* display_;
    bool synchronous_;
    Display* outerDisplay_;
    int outerFirstError_;
};

} // namespace platform::x11
