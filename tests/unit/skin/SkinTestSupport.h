#pragma once

#include "skin/TColor.h"
#include "skin/TCustomDIBContainer.h"
#include "skin/TDIBImageList.h"

#include <cstdint>

namespace skin::test {

// A recognisable opaque colour for frame k of a strip: blue = k, green = 200, red = 255 - k.
inline TPixel32 FrameColor(int k) {
    return MakePixel(k & 0xFF, 200, 255 - (k & 0xFF), 255);
}

// Adds a strip of `frames` frames of frameWidth x frameHeight to the list, frame k filled with
// FrameColor(k); answers its index.
inline int AddStrip(TDIBImageList& list, int frames, int frameWidth, int frameHeight, bool masked = false) {
    TDIBImagesItem& item = list.Add();
    item.DIB.SetSize(frames * frameWidth, frameHeight);
    for (int k = 0; k < frames; ++k)
        item.DIB.FillRect(k * frameWidth, 0, frameWidth, frameHeight, FrameColor(k));
    item.DIB.SetMasked(masked);
    return list.Count() - 1;
}

// The frame a control shows, read from the pixel at its top-left corner after a repaint.
inline int ShownFrame(TCustomDIBContainer& container, int x, int y) {
    container.Invalidate();
    container.Update();
    return static_cast<int>(PixelBlue(container.Picture().Pixel(x, y)));
}

// FNV-1a over the stored pixels, for golden pictures.
inline std::uint64_t PictureHash(const TAbstractSuperDIB& dib) {
    std::uint64_t h = 1469598103934665603ull;
    const std::size_t n = static_cast<std::size_t>(dib.Width()) * dib.Height();
    for (std::size_t i = 0; i < n; ++i)
        for (int b = 0; b < 32; b += 8) {
            h ^= (dib.Bits()[i] >> b) & 0xFF;
            h *= 1099511628211ull;
        }
    return h;
}

} // namespace skin::test
