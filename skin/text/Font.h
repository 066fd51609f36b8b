#pragma once
// A rasterised font for the editor's texts: one glyph per 8-bit character code (Windows-1252), each a
// small rectangle of 8-bit coverage (0 = empty, 255 = fully covered) with the metrics that place it.
#include <array>
#include <cstdint>
#include <span>

namespace skin::text {

struct Glyph {
    std::uint32_t offset = 0; // first coverage byte of the glyph's rectangle in Font::coverage
    std::uint8_t width = 0;   // rectangle size in pixels; 0 x 0 for blanks
    std::uint8_t height = 0;
    std::int8_t left = 0;     // column of the rectangle relative to the pen position
    std::int8_t top = 0;      // row of the rectangle relative to the top of the text cell
    std::uint8_t advance = 0; // pen movement in whole pixels, as the windowing system lays text out
};

// Rows of each glyph rectangle are stored top-down, `width` bytes each, with no gap.
struct Font {
    int pixelHeight = 0; // character height without internal leading (the em size in pixels)
    int ascent = 0;      // cell top to baseline
    int descent = 0;     // baseline to cell bottom
    std::span<const Glyph, 256> glyphs;
    std::span<const std::uint8_t> coverage;

    int CellHeight() const { return ascent + descent; }
    const Glyph& GlyphOf(char c) const { return glyphs[static_cast<unsigned char>(c)]; }
};

} // namespace skin::text
