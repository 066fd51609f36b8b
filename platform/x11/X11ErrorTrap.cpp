#include "platform/x11/X11ErrorTrap.h"

#include <mutex>

namespace platform::x11 {

namespace {

std::recursive_mutex trapMutex;
// Guarded by trapMutex.
int trapDepth = 0;
Display* trappedDisplay = nullptr;
int firstError = 0;
XErrorHandler previousHandler = nullptr;

int TrapHandler(Display* display, XErrorEvent* error) {
    if (display == trappedDisplay) {
        if (firstError == 0)
            firstError = error->error_code;
        return 0;
    }
    return previousHandler ? previousHandler(display, error) : 0;
}

} // namespace

X11ErrorTrap::X11ErrorTrap(Display* display, bool synchronous)
    : display_(display), synchronous_(synchronous) {
    trapMutex.lock();
    outerDisplay_ = trappedDisplay;
    outerFirstError_ = firstError;
    if (display_ != nullptr && synchronous_)
        XSync(display_, False);
    if (trapDepth++ == 0)
        previousHandler = XSetErrorHandler(TrapHandler);
    trappedDisplay = display_;
    firstError = 0;
}

X11ErrorTrap::~X11ErrorTrap() {
    if (display_ != nullptr && synchronous_)
        XSync(display_, False);
    trappedDisplay = outerDisplay_;
    firstError = outerFirstError_;
    if (--trapDepth == 0) {
        const XErrorHandler replaced = XSetErrorHandler(previousHandler);
        // Someone installed a handler of their own meanwhile; leave theirs in place.
        if (replaced != TrapHandler)
            XSetErrorHandler(replaced);
        previousHandler = nullptr;
    }
    trapMutex.unlock();
}

bool X11ErrorTrap::Failed() {
    if (display_ != nullptr)
        XSync(display_, False);
    return firstError != 0;
}

int X11ErrorTrap::FirstError() const {
    return firstError;
}

void X11ErrorTrap::Reset() {
    firstError = 0;
}

void X11ErrorTrap::ReleaseDisplay() {
    if (display_ != nullptr)
        XSync(display_, False);
    display_ = nullptr;
}

} // namespace platform::x11
