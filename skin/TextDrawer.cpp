#include "skin/TextDrawer.h"

namespace skin {

namespace {
TextDrawer* gDefaultTextDrawer = nullptr;
}

void SetDefaultTextDrawer(TextDrawer* drawer) noexcept {
    gDefaultTextDrawer = drawer;
}
TextDrawer* DefaultTextDrawer() noexcept {
    return gDefaultTextDrawer;
}

} // namespace skin
