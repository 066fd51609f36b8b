#include "tools/fontatlas/FontAtlasBuilder.h"

#define STB_TRUETYPE_IMPLEMENTATION
#include <stb_truetype.h>

#include <cmath>
#include <fstream>
#include <iterator>

namespace fontatlas {

std::uint32_t CodePointOf(unsigned char c) {
    // Windows-1252 differs from Latin-1 only in 0x80..0x9F.
    static constexpr std::uint16_t kHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (c < 0x20 || c == 0x7F)
        return 0;
    if (c >= 0x80 && c < 0xA0)
        return kHigh[c - 0x80];
    return c;
}

std::optional<BuiltFont> BuildFont(const std::vector<std::uint8_t>& ttf, int pixelHeight, float gamma,
                                   std::string& error) {
    stbtt_fontinfo info;
    if (ttf.empty() || !stbtt_InitFont(&info, ttf.data(), stbtt_GetFontOffsetForIndex(ttf.data(), 0))) {
        error = "not a TrueType font";
        return std::nullopt;
    }
    if (pixelHeight < 4 || pixelHeight > 96) {
        error = "pixel height out of range";
        return std::nullopt;
    }
    const float scale = stbtt_ScaleForMappingEmToPixels(&info, static_cast<float>(pixelHeight));

    // Cell metrics from the OS/2 table's Windows ascender and descender, as the windowing system
    // uses them; the hhea values serve fonts without that table.
    int winAscent = 0, winDescent = 0;
    const stbtt_uint32 os2 = stbtt__find_table(info.data, info.fontstart, "OS/2");
    if (os2 != 0) {
        winAscent = ttUSHORT(info.data + os2 + 74);
        winDescent = ttUSHORT(info.data + os2 + 76);
    } else {
        int ascent = 0, descent = 0, gap = 0;
        stbtt_GetFontVMetrics(&info, &ascent, &descent, &gap);
        winAscent = ascent;
        winDescent = -descent;
    }

    BuiltFont font;
    font.pixelHeight = pixelHeight;
    font.ascent = static_cast<int>(std::lround(winAscent * scale));
    // Descenders reach a fraction of a row past the rounded value; keep them inside the cell.
    font.descent = static_cast<int>(std::ceil(winDescent * scale - 0.05f));

    std::uint8_t curve[256];
    for (int i = 0; i < 256; ++i)
        curve[i] = static_cast<std::uint8_t>(std::lround(255.0 * std::pow(i / 255.0, 1.0 / gamma)));

    for (int code = 0; code < 256; ++code) {
        const std::uint32_t cp = CodePointOf(static_cast<unsigned char>(code));
        skin::text::Glyph& g = font.glyphs[code];
        g.offset = static_cast<std::uint32_t>(font.coverage.size());
        if (cp == 0)
            continue;
        const int index = stbtt_FindGlyphIndex(&info, static_cast<int>(cp));
        if (index == 0 && cp != ' ')
            continue;
        int advance = 0, bearing = 0;
        stbtt_GetGlyphHMetrics(&info, index, &advance, &bearing);
        g.advance = static_cast<std::uint8_t>(std::lround(advance * scale));
        // Small sizes are not hinted by the rasteriser, so vertical stems often straddle two pixel
        // columns and look grey. Shift each glyph horizontally by up to 1/4 pixel to where its
        // coverage is sharpest (largest sum of squares per unit of ink), keeping the pen positions.
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        std::vector<std::uint8_t> pixels;
        double bestScore = -1;
        for (const float shift : {0.0f, -0.125f, 0.125f, -0.25f, 0.25f}) {
            int bx0 = 0, by0 = 0, bx1 = 0, by1 = 0;
            stbtt_GetGlyphBitmapBoxSubpixel(&info, index, scale, scale, shift, 0, &bx0, &by0, &bx1, &by1);
            const int bw = bx1 - bx0, bh = by1 - by0;
            if (bw <= 0 || bh <= 0 || bw > 255 || bh > 255)
                break;
            std::vector<std::uint8_t> candidate(static_cast<std::size_t>(bw) * bh);
            stbtt_MakeGlyphBitmapSubpixel(&info, candidate.data(), bw, bh, bw, scale, scale, shift, 0, index);
            double ink = 0, square = 0;
            for (auto v : candidate) {
                ink += v;
                square += static_cast<double>(v) * v;
            }
            const double score = ink > 0 ? square / ink : 0;
            if (score > bestScore * 1.04) { // prefer the smaller shift unless clearly sharper
                bestScore = score;
                pixels = std::move(candidate);
                x0 = bx0, y0 = by0, x1 = bx1, y1 = by1;
            }
        }
        const int w = x1 - x0, h = y1 - y0;
        if (w <= 0 || h <= 0 || pixels.empty())
            continue;
        for (auto& p : pixels)
            p = curve[p];
        g.width = static_cast<std::uint8_t>(w);
        g.height = static_cast<std::uint8_t>(h);
        g.left = static_cast<std::int8_t>(x0);
        g.top = static_cast<std::int8_t>(font.ascent + y0);
        font.coverage.insert(font.coverage.end(), pixels.begin(), pixels.end());
    }
    return font;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace fontatlas
