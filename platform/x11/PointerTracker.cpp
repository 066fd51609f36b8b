#include "platform/x11/PointerTracker.h"

#include <cstdint>
#include <cstdlib>

namespace platform::x11 {

bool PointerTracker::Observe(Point real) {
    if (pendingEcho_ && real == *pendingEcho_) {
        pendingEcho_.reset();
        lastReal_ = real;
        if (!relative_)
            position_ = real;
        return false;
    }
    if (relative_)
        position_ = {position_.x + (real.x - lastReal_.x), position_.y + (real.y - lastReal_.y)};
    else
        position_ = real;
    lastReal_ = real;
    return true;
}

void PointerTracker::Warped(Point target) {
    position_ = target;
    // A warp onto the spot where the pointer already is moves nothing, and the server reports nothing.
    if (target == lastReal_)
        pendingEcho_.reset();
    else
        pendingEcho_ = target;
}

void PointerTracker::SetRelative(bool relative) {
    relative_ = relative;
    if (!relative_ && !pendingEcho_)
        position_ = lastReal_;
}

bool DoubleClickDetector::Press(int button, Point position, unsigned long timeMs) {
    const auto elapsed = static_cast<std::uint32_t>(timeMs - time_);
    const bool isDouble = hasFirst_ && button == button_ && elapsed <= kIntervalMs &&
                          std::abs(position.x - position_.x) <= kDistance &&
                          std::abs(position.y - position_.y) <= kDistance;
    if (isDouble) {
        hasFirst_ = false;
        return true;
    }
    hasFirst_ = true;
    button_ = button;
    position_ = position;
    time_ = timeMs;
    return false;
}

} // namespace platform::x11
