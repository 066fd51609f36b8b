#pragma once
// Draws 8-bit (Windows-1252) texts from a rasterised Font onto 32-bit BGRA pictures.
//
// Layout follows the windowing system's plain text output: the pen starts at the cell's top-left
// corner, the baseline lies `ascent` rows below it, and each character moves the pen by its whole-pixel
// advance; no kerning. Blending is integer-only, so every target produces the same pixels:
//   a   = (coverage * alpha + 127) / 255
//   d.c = (a * colour.c + (255 - a) * d.c + 255) >> 8     for blue, green, red
//   d.a = max(d.a, a)
// which gives exactly the colour where a = 255 and leaves the destination untouched where a = 0.
#include "skin/text/Font.h"
#include "skin/text/PixelView.h"

#include <cstdint>
#include <string_view>

namespace skin::text {

struct TextExtent {
    int width = 0;
    int height = 0;
};

// Sum of the advances; 0 for an empty text.
int TextWidth(const Font& font, std::string_view text);
// Height of the text cell (ascent + descent); the same for every text.
int TextHeight(const Font& font);
TextExtent MeasureText(const Font& font, std::string_view text);

// Calls fn(x, y, coverage) for every glyph pixel with coverage above 0, in picture coordinates, for
// the text with its cell's top-left corner at (x, y). No clipping.
template <class Fn> void ForEachCoverage(const Font& font, int x, int y, std::string_view text, Fn&& fn) {
    int pen = x;
    for (char c : text) {
        const Glyph& g = font.GlyphOf(c);
        const std::uint8_t* src = font.coverage.data() + g.offset;
        for (int row = 0; row < g.height; ++row) {
            for (int col = 0; col < g.width; ++col) {
                const std::uint8_t cov = src[row * g.width + col];
                if (cov != 0)
                    fn(pen + g.left + col, y + g.top + row, cov);
            }
        }
        pen += g.advance;
    }
}

// Blends one pixel (BGRA bytes) towards colour with weight a (0..255), by the rule above.
inline void BlendPixel(std::uint8_t* p, Rgb colour, unsigned a) {
    const unsigned inv = 255u - a;
    p[0] = static_cast<std::uint8_t>((a * colour.b + inv * p[0] + 255u) >> 8);
    p[1] = static_cast<std::uint8_t>((a * colour.g + inv * p[1] + 255u) >> 8);
    p[2] = static_cast<std::uint8_t>((a * colour.r + inv * p[2] + 255u) >> 8);
    if (a > p[3])
        p[3] = static_cast<std::uint8_t>(a);
}

// Draws the text with its cell's top-left corner at (x, y), in colour with the given alpha
// (255 = opaque, 0 = nothing drawn), clipped to the picture and to `clip` if given.
void DrawText(const PixelView& view, const Font& font, int x, int y, std::string_view text, Rgb colour,
              std::uint8_t alpha = 255, const ClipRect* clip = nullptr);

} // namespace skin::text
