#pragma once
// Rasterises a TrueType font into the glyph table the text renderer draws from: one glyph per
// Windows-1252 code, anti-aliased coverage, whole-pixel advances and cell metrics taken the way the
// windowing system sizes a font given by its character height.
#include "skin/text/Font.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fontatlas {

struct BuiltFont {
    int pixelHeight = 0;
    int ascent = 0;
    int descent = 0;
    std::array<skin::text::Glyph, 256> glyphs{};
    std::vector<std::uint8_t> coverage;

    skin::text::Font View() const { return skin::text::Font{pixelHeight, ascent, descent, glyphs, coverage}; }
};

// The Unicode code point of a Windows-1252 byte, or 0 where the code page leaves the byte undefined
// (and for control characters).
std::uint32_t CodePointOf(unsigned char c);

// pixelHeight is the character height without internal leading (em size); `gamma` > 1 darkens thin
// anti-aliased strokes (coverage' = 255 * (coverage / 255) ^ (1 / gamma)).
std::optional<BuiltFont> BuildFont(const std::vector<std::uint8_t>& ttf, int pixelHeight, float gamma,
                                   std::string& error);

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

} // namespace fontatlas
