#pragma once

#include "platform/x11/PixelLayout.h"
#include "platform/x11/Xlib.h"

namespace platform::x11 {

// The pixel layout of a visual at a depth, with the bits per pixel the server uses for that depth.
inline PixelLayout LayoutOfVisual(Display* display, const Visual* visual, int depth) {
    PixelLayout layout;
    layout.depth = depth;
    layout.redMask = static_cast<std::uint32_t>(visual->red_mask);
    layout.greenMask = static_cast<std::uint32_t>(visual->green_mask);
    layout.blueMask = static_cast<std::uint32_t>(visual->blue_mask);
    layout.bitsPerPixel = 0;
    int count = 0;
    if (XPixmapFormatValues* formats = XListPixmapFormats(display, &count)) {
        for (int i = 0; i < count; ++i)
            if (formats[i].depth == depth)
                layout.bitsPerPixel = formats[i].bits_per_pixel;
        XFree(formats);
    }
    return layout;
}

} // namespace platform::x11
