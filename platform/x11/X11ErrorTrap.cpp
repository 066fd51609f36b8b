#include "platform/x11/X11ErrorTrap.h"

#include <algorithm>
#include <mutex>

namespace platform::x11 {

namespace {

constexpr int kLostCapacity = X11ErrorTrap::kLostCapacity;

std::recursive_mutex trapMutex;
// Guarded by trapMutex.
int trapDepth = 0;
Display* trappedDisplay = nullptr;
int firstError = 0;
// Resources that errors of the innermost trap named as no window or drawable; the oldest are dropped.
XID lost[kLostCapacity] = {};
int lostCount = 0;
XErrorHandler previousHandler = nullptr;

void noteLost(XID resource) {
    if (std::find(lost, lost + lostCount, resource) != lost + lostCount)
        return;
    if (lostCount == kLostCapacity) {
        std::copy(lost + 1, lost + kLostCapacity, lost);
        --lostCount;
    }
    lost[lostCount++] = resource;
}

int TrapHandler(Display* display, XErrorEvent* error) {
    if (display == trappedDisplay) {
        if (firstError == 0)
            firstError = error->error_code;
        if (error->error_code == BadWindow || error->error_code == BadDrawable)
            noteLost(error->resourceid);
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
    std::copy(lost, lost + kLostCapacity, outerLost_);
    outerLostCount_ = lostCount;
    // First the handler, then the round trip: errors waiting on the connection are read by it.
    if (trapDepth++ == 0)
        previousHandler = XSetErrorHandler(TrapHandler);
    trappedDisplay = display_;
    lostCount = 0;
    if (display_ != nullptr && synchronous_)
        XSync(display_, False);
    // Errors of requests made before the trap are swallowed, and noted when they name a lost window,
    // but they are no failure of the trap's own requests.
    firstError = 0;
}

X11ErrorTrap::~X11ErrorTrap() {
    if (display_ != nullptr && synchronous_)
        XSync(display_, False);
    // What this trap learnt about lost windows stays known to the trap around it on the same display.
    XID inner[kLostCapacity];
    const int innerCount = lostCount;
    std::copy(lost, lost + kLostCapacity, inner);
    const bool sameDisplay = outerDisplay_ == trappedDisplay;
    trappedDisplay = outerDisplay_;
    firstError = outerFirstError_;
    std::copy(outerLost_, outerLost_ + kLostCapacity, lost);
    lostCount = outerLostCount_;
    if (sameDisplay)
        for (int i = 0; i < innerCount; ++i)
            noteLost(inner[i]);
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

bool X11ErrorTrap::Lost(XID resource) const {
    return resource != None && std::find(lost, lost + lostCount, resource) != lost + lostCount;
}

void X11ErrorTrap::ReleaseDisplay() {
    if (display_ != nullptr)
        XSync(display_, False);
    display_ = nullptr;
}

} // namespace platform::x11
