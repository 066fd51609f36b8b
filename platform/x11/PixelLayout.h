#pragma once

#include <cstdint>

namespace platform::x11 {

// How a server stores one pixel of a window's visual in a ZPixmap image: bits per pixel (16, 24 or
// 32), the colour masks, and the depth (a depth-32 visual has an alpha channel the server composites
// with, so the editor's pixels must be opaque there). Images are always produced least significant
// byte first; Xlib swaps them for a server of the other byte order.
struct PixelLayout {
    int bitsPerPixel = 32;
    int depth = 24;
    std::uint32_t redMask = 0xFF0000;
    std::uint32_t greenMask = 0x00FF00;
    std::uint32_t blueMask = 0x0000FF;

    // The kit's BGRA words can be copied unchanged (apart from the alpha byte).
    bool Direct() const {
        return bitsPerPixel == 32 && redMask == 0xFF0000 && greenMask == 0x00FF00 && blueMask == 0x0000FF;
    }
    // Bits of the depth that belong to no colour: the alpha channel of a depth-32 visual.
    std::uint32_t AlphaMask() const;
    int BytesPerPixel() const { return bitsPerPixel / 8; }
    bool Supported() const;
};

// Converts count pixels (the kit's BGRA words, alpha ignored) into the layout's bytes, opaque.
void ConvertRow(const std::uint32_t* source, int count, const PixelLayout& layout, std::uint8_t* target);

// One pixel as the layout stores it, before byte order: for tests and single pixels.
std::uint32_t PixelValue(std::uint32_t bgra, const PixelLayout& layout);

} // namespace platform::x11
