#pragma once

#include <cstdint>

namespace skin {

// A colour as forms store it: 0x00BBGGRR (red in the lowest byte). 10261120 is RGB 128, 146, 156.
using TColor = std::uint32_t;

// A pixel as the bitmaps store it: the bytes blue, green, red, alpha in memory order, that is
// 0xAARRGGBB read as a little-endian 32-bit word.
using TPixel32 = std::uint32_t;

constexpr TColor RGBColor(unsigned r, unsigned g, unsigned b) {
    return r | (g << 8) | (b << 16);
}
constexpr unsigned ColorRed(TColor c) {
    return c & 0xFF;
}
constexpr unsigned ColorGreen(TColor c) {
    return (c >> 8) & 0xFF;
}
constexpr unsigned ColorBlue(TColor c) {
    return (c >> 16) & 0xFF;
}

constexpr TPixel32 MakePixel(unsigned b, unsigned g, unsigned r, unsigned a) {
    return b | (g << 8) | (r << 16) | (static_cast<TPixel32>(a) << 24);
}
constexpr unsigned PixelBlue(TPixel32 p) {
    return p & 0xFF;
}
constexpr unsigned PixelGreen(TPixel32 p) {
    return (p >> 8) & 0xFF;
}
constexpr unsigned PixelRed(TPixel32 p) {
    return (p >> 16) & 0xFF;
}
constexpr unsigned PixelAlpha(TPixel32 p) {
    return p >> 24;
}

// The colour of a form colour as a pixel with the given alpha, and a pixel's colour without alpha.
constexpr TPixel32 ColorToPixel(TColor c, unsigned alpha = 255) {
    return MakePixel(ColorBlue(c), ColorGreen(c), ColorRed(c), alpha);
}
constexpr TColor PixelToColor(TPixel32 p) {
    return RGBColor(PixelRed(p), PixelGreen(p), PixelBlue(p));
}

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clWhite = 0xFFFFFF;

} // namespace skin
