#include "platform/headless/HeadlessCursor.h"

namespace platform::headless {

void HeadlessCursor::SetPosition(Point screen) {
    position_ = screen;
    setPositions_.push_back(screen);
}

void HeadlessCursor::Hide() {
    --displayCount_;
    ++hideCalls_;
}

void HeadlessCursor::Show() {
    ++displayCount_;
    ++showCalls_;
}

} // namespace platform::headless
