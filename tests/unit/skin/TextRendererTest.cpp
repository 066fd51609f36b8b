#include "skin/text/TextRenderer.h"
#include "skin/TMemoryDIB.h"
#include "skin/text/DIBTextDrawer.h"
#include "skin/text/DefaultFont.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

using namespace skin::text;

namespace {

struct Picture {
    int width, height;
    std::vector<std::uint8_t> bits;
    Picture(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r, std::uint8_t a)
        : width(w), height(h), bits(static_cast<std::size_t>(w) * h * 4) {
        for (std::size_t i = 0; i < bits.size(); i += 4) {
            bits[i] = b;
            bits[i + 1] = g;
            bits[i + 2] = r;
            bits[i + 3] = a;
        }
    }
    PixelView View(bool bottomUp = true) {
        return PixelView{bits.data(), width, height, width * 4, bottomUp};
    }
    // Top-down pixel access for a bottom-up picture.
    const std::uint8_t* At(int x, int y) const { return &bits[((height - 1 - y) * width + x) * 4]; }
};

std::uint64_t Fnv1a(const std::vector<std::uint8_t>& data) {
    std::uint64_t h = 1469598103934665603ull;
    for (auto b : data) {
        h ^= b;
        h *= 1099511628211ull;
    }
    return h;
}

// Finds a fully covered pixel of the glyph for c, relative to the cell's top-left corner.
bool FullyCoveredPixel(const Font& font, char c, int& x, int& y) {
    const Glyph& g = font.GlyphOf(c);
    for (int row = 0; row < g.height; ++row)
        for (int col = 0; col < g.width; ++col)
            if (font.coverage[g.offset + row * g.width + col] == 255) {
                x = g.left + col;
                y = g.top + row;
                return true;
            }
    return false;
}

} // namespace

TEST(TextRenderer, FontMetricsMatchAnElevenPixelArialCell) {
    const Font& font = DefaultFont();
    EXPECT_EQ(font.pixelHeight, 11);
    EXPECT_EQ(font.ascent, 10) << "Arial's ascender is 0.905 em";
    EXPECT_EQ(font.descent, 3) << "descenders (0.212 em) must fit inside the cell";
    EXPECT_EQ(TextHeight(font), 13);
    // Every glyph rectangle lies inside the coverage table.
    for (int c = 0; c < 256; ++c) {
        const Glyph& g = font.glyphs[c];
        EXPECT_LE(g.offset + g.width * g.height, font.coverage.size()) << "glyph " << c;
    }
}

TEST(TextRenderer, MeasuresTexts) {
    const Font& font = DefaultFont();
    EXPECT_EQ(TextWidth(font, ""), 0);
    EXPECT_EQ(MeasureText(font, "").height, 13) << "an empty text still has the cell height";
    // Digits share one advance in Arial-metric fonts (0.556 em = 6 px at 11 px).
    for (char d = '0'; d <= '9'; ++d)
        EXPECT_EQ(font.GlyphOf(d).advance, 6) << d;
    EXPECT_EQ(TextWidth(font, "0123456789"), 60);
    EXPECT_EQ(TextWidth(font, " "), 3);
    // Widths add up and narrow letters are narrower than wide ones.
    EXPECT_EQ(TextWidth(font, "Hz"), TextWidth(font, "H") + TextWidth(font, "z"));
    EXPECT_LT(TextWidth(font, "i"), TextWidth(font, "W"));
    const int hint = TextWidth(font, "Filter cutoff frequency modulation source");
    EXPECT_GT(hint, 180);
    EXPECT_LE(hint, 230) << "the longest channel hint must fit the 299 px hint line";
    EXPECT_LE(TextWidth(font, "Amount of reinjection into the recording buffer"), 299);
    // Windows-1252: the euro sign (0x80), the degree sign (0xB0) and e-acute (0xE9) have glyphs;
    // control characters and undefined codes take no room.
    EXPECT_GT(TextWidth(font, "\x80"), 0);
    EXPECT_GT(TextWidth(font, "\xB0"), 0);
    EXPECT_GT(TextWidth(font, "\xE9"), 0);
    EXPECT_EQ(TextWidth(font, "\x01\x81\x7F"), 0);
}

TEST(TextRenderer, BlendsColourWithAlphaByCoverage) {
    const Font& font = DefaultFont();
    int gx = 0, gy = 0;
    char probe = 0;
    for (char c : std::string_view("HNbp!"))
        if (FullyCoveredPixel(font, c, gx, gy)) {
            probe = c;
            break;
        }
    ASSERT_NE(probe, 0) << "no glyph has a fully covered pixel";
    const char text[2] = {probe, 0};

    // Full alpha: fully covered pixels get exactly the colour; alpha of the destination rises to 255.
    Picture full(40, 20, 10, 20, 30, 0);
    DrawText(full.View(), font, 5, 3, text, Rgb{200, 150, 100}, 255);
    const std::uint8_t* p = full.At(5 + gx, 3 + gy);
    EXPECT_EQ(p[0], 100);
    EXPECT_EQ(p[1], 150);
    EXPECT_EQ(p[2], 200);
    EXPECT_EQ(p[3], 255);
    EXPECT_EQ(full.At(0, 0)[0], 10) << "pixels outside the glyph stay as they were";

    // Alpha 0 leaves every byte untouched.
    Picture none(40, 20, 10, 20, 30, 40);
    const auto before = none.bits;
    DrawText(none.View(), font, 5, 3, "Hello", Rgb{255, 255, 255}, 0);
    EXPECT_EQ(none.bits, before);

    // Half alpha on a fully covered pixel: a = (255 * 128 + 127) / 255 = 128,
    // c = (128 * 255 + 127 * 0 + 255) >> 8 = 128.
    Picture half(40, 20, 0, 0, 0, 0);
    DrawText(half.View(), font, 5, 3, text, Rgb{255, 255, 255}, 128);
    EXPECT_EQ(half.At(5 + gx, 3 + gy)[0], 128);
    EXPECT_EQ(half.At(5 + gx, 3 + gy)[3], 128);
}

TEST(TextRenderer, HonoursRowOrderAndClipping) {
    const Font& font = DefaultFont();
    // The same text drawn top-down and bottom-up gives mirrored row storage.
    Picture up(60, 16, 0, 0, 0, 255), down(60, 16, 0, 0, 0, 255);
    DrawText(up.View(true), font, 2, 1, "Mix", Rgb{255, 255, 255});
    DrawText(down.View(false), font, 2, 1, "Mix", Rgb{255, 255, 255});
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 60 * 4; ++x)
            ASSERT_EQ(up.bits[(15 - y) * 240 + x], down.bits[y * 240 + x]) << "row " << y;

    // Text partly or wholly off the picture draws only what is inside and never writes outside.
    Picture edge(20, 10, 0, 0, 0, 0);
    DrawText(edge.View(), font, -7, -5, "Wg", Rgb{255, 0, 0});
    DrawText(edge.View(), font, 15, 6, "Wg", Rgb{255, 0, 0});
    DrawText(edge.View(), font, 1000, -1000, "Wg", Rgb{255, 0, 0});
    EXPECT_EQ(edge.bits.size(), 20u * 10u * 4u);

    // A clip rectangle (inclusive, in either corner order) limits the drawing to its area.
    Picture clipped(60, 16, 0, 0, 0, 0);
    const ClipRect clip{10, 0, 5, 15};
    DrawText(clipped.View(), font, 0, 1, "MMMMMMMM", Rgb{255, 255, 255}, 255, &clip);
    int painted = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 60; ++x) {
            if (clipped.At(x, y)[3] != 0) {
                ++painted;
                EXPECT_TRUE(x >= 5 && x <= 10) << "pixel " << x << "," << y << " outside the clip";
            }
        }
    EXPECT_GT(painted, 0);
}

TEST(TextRenderer, RendersAKnownReadOutPixelForPixel) {
    // Guards the atlas and the blending against unintended changes.
    Picture pic(200, 14, 0x1C, 0x18, 0x14, 255);
    DrawText(pic.View(), DefaultFont(), 3, 0, "6.40 Hz  -60.00 db  \xB0", Rgb::FromColorRef(10261120));
    EXPECT_EQ(Fnv1a(pic.bits), 4564683280593360259ull) << "golden hash changed";
}

TEST(TextRenderer, DrawsCaptionsOntoKitBitmapsInsideTheirClip) {
    skin::TMemoryDIB dib;
    dib.SetSize(60, 16);
    dib.Fill(skin::MakePixel(0, 0, 0, 255));
    dib.SetClipRect(skin::TClipRect{0, 0, 19, 15});
    DIBTextDrawer& drawer = EditorTextDrawer();
    skin::TDIBFont font;
    font.Color = skin::RGBColor(255, 255, 255);
    const skin::TTextSize size = drawer.TextSize(font, "MMMMMMMM");
    EXPECT_EQ(size.Width, TextWidth(DefaultFont(), "MMMMMMMM"));
    EXPECT_EQ(size.Height, 13);
    drawer.DrawText(dib, 1, 1, "MMMMMMMM", font);
    int inside = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 60; ++x) {
            const auto p = dib.Pixel(x, y);
            if (skin::PixelRed(p) != 0) {
                EXPECT_LE(x, 19) << "drawn outside the bitmap's clip rectangle";
                ++inside;
            }
        }
    EXPECT_GT(inside, 20);
    // Underline: a full row of the colour one pixel under the baseline, clipped the same way.
    skin::TMemoryDIB under;
    under.SetSize(40, 16);
    under.Fill(skin::MakePixel(0, 0, 0, 255));
    font.Underline = true;
    drawer.DrawText(under, 2, 0, "ab", font);
    const int row = DefaultFont().ascent + 1;
    for (int x = 2; x < 2 + TextWidth(DefaultFont(), "ab"); ++x)
        EXPECT_EQ(under.Pixel(x, row), skin::MakePixel(255, 255, 255, 255)) << x;

    // The plain overload in a form colour: alpha 0 draws nothing, 255 draws the colour.
    skin::TMemoryDIB plain;
    plain.SetSize(40, 16);
    plain.Fill(skin::MakePixel(1, 2, 3, 255));
    DrawText(plain, DefaultFont(), 0, 0, "Mix", 10261120, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(plain.Pixel(x, y), skin::MakePixel(1, 2, 3, 255));
    DrawText(plain, DefaultFont(), 0, 0, "N!", 10261120, 255);
    bool found = false;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 40; ++x)
            found = found || plain.Pixel(x, y) == skin::MakePixel(156, 146, 128, 255);
    EXPECT_TRUE(found) << "no pixel took the form colour RGB 128, 146, 156";
}
