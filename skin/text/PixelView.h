#pragma once
// A window onto 32-bit pixels in blue, green, red, alpha byte order, the layout of the kit's bitmaps.
#include <cstddef>
#include <cstdint>

namespace skin::text {

struct PixelView {
    std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;       // bytes from one stored row to the next
    bool bottomUp = true; // the first stored row is the bottom row of the picture

    // Pixel row y counted from the top of the picture.
    std::uint8_t* Row(int y) const {
        const int stored = bottomUp ? height - 1 - y : y;
        return bits + static_cast<std::ptrdiff_t>(stored) * stride;
    }
};

// Inclusive clip rectangle in picture coordinates (top-down).
struct ClipRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    // From a colour value laid out as 0x00BBGGRR (red in the low byte), as the form's colours are given.
    static constexpr Rgb FromColorRef(std::uint32_t c) {
        return Rgb{static_cast<std::uint8_t>(c & 0xFF), static_cast<std::uint8_t>((c >> 8) & 0xFF),
                   static_cast<std::uint8_t>((c >> 16) & 0xFF)};
    }
};

} // namespace skin::text
