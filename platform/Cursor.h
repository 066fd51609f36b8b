#pragma once

#include "platform/Geometry.h"

namespace platform {

// Mouse cursor shapes a control may ask for while the pointer is over it.
enum class CursorShape { Default, Arrow, SizeNS, SizeWE, HandPoint, IBeam };

// The mouse cursor as the windowing system offers it: a screen position that can be read and set,
// and a display counter in the Win32 manner (Hide lowers it, Show raises it, the cursor is visible
// while it is 0 or more). Every Hide must be matched by exactly one Show; the skinned controls
// guarantee that even when a drag is cut short.
class Cursor {
public:
    virtual ~Cursor() = default;
    virtual Point Position() const = 0;
    virtual void SetPosition(Point screen) = 0;
    virtual void Hide() = 0;
    virtual void Show() = 0;
    // Shape shown while the pointer is over the window; systems that cannot change it ignore this.
    virtual void SetShape(CursorShape) {}
};

} // namespace platform
