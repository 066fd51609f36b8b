#include "skin/EDIBError.h"
#include "skin/TMemoryDIB.h"
#include "skin/TWinDIB.h"

#include <gtest/gtest.h>

#include <vector>

namespace skin {
namespace {

TPixel32 Px(unsigned b, unsigned g, unsigned r, unsigned a) {
    return MakePixel(b, g, r, a);
}

// Draws a 1 x 1 source pixel onto a 1 x 1 destination pixel with the given settings.
TPixel32 DrawOne(TPixel32 source, TPixel32 dest, bool masked, bool transparent, std::uint8_t opacity,
                 TColor key = clBlack) {
    TMemoryDIB s(1, 1), d(1, 1);
    s.SetPixel(0, 0, source);
    d.SetPixel(0, 0, dest);
    s.SetMasked(masked);
    s.SetTransparent(transparent);
    s.SetTransparentMode(TTransparentMode::tmFixed);
    s.SetTransparentColor(key);
    s.SetOpacity(opacity);
    s.Draw(d, 0, 0);
    return d.Pixel(0, 0);
}

TEST(TAbstractSuperDIB, PixelModelAndSettingsAfterCreation) {
    TMemoryDIB dib;
    EXPECT_EQ(dib.Width(), 0);
    EXPECT_EQ(dib.Height(), 0);
    EXPECT_FALSE(dib.Masked());
    EXPECT_EQ(dib.Opacity(), 255);
    EXPECT_FALSE(dib.Transparent());
    EXPECT_EQ(dib.TransparentMode(), TTransparentMode::tmAuto);
    EXPECT_EQ(dib.FixedTransparentColor(), clBlack);
    EXPECT_EQ(dib.Angle(), 0);
    EXPECT_EQ(dib.Scale(), 100);
    EXPECT_EQ(dib.DrawWay(), TDrawWay::Copy);

    dib.SetSize(3, 2);
    EXPECT_EQ(dib.ClipRect(), (TClipRect{0, 0, 2, 1})) << "clip covers the whole bitmap";
    // Top-left pixel is in the last stored row; the first stored pixel is the bottom-left one.
    dib.SetPixel(0, 0, Px(1, 2, 3, 4));
    dib.SetPixel(0, 1, Px(10, 20, 30, 40));
    EXPECT_EQ(dib.Bits()[3], Px(1, 2, 3, 4));
    EXPECT_EQ(dib.Bits()[0], Px(10, 20, 30, 40));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(dib.Bits());
    EXPECT_EQ(bytes[0], 10) << "byte order blue, green, red, alpha";
    EXPECT_EQ(bytes[2], 30);
    EXPECT_EQ(bytes[3], 40);
    EXPECT_EQ(dib.TransparentColor(), RGBColor(30, 20, 10)) << "tmAuto reports the bottom-left pixel";
    dib.SetTransparentMode(TTransparentMode::tmFixed);
    dib.SetTransparentColor(RGBColor(1, 2, 3));
    EXPECT_EQ(dib.TransparentColor(), RGBColor(1, 2, 3));
}

TEST(TAbstractSuperDIB, MaskedAndTransparentExcludeEachOtherAndEveryChangeIsReported) {
    TWinDIB dib(2, 2);
    int changes = 0;
    dib.OnChange = [&](TAbstractSuperDIB&) { ++changes; };

    dib.SetTransparent(true);
    EXPECT_EQ(dib.DrawWay(), TDrawWay::TransparentColor);
    dib.SetMasked(true);
    EXPECT_TRUE(dib.Masked());
    EXPECT_FALSE(dib.Transparent()) << "Masked turns Transparent off";
    EXPECT_EQ(dib.DrawWay(), TDrawWay::Mask);
    dib.SetTransparent(true);
    EXPECT_FALSE(dib.Masked()) << "Transparent turns Masked off";
    EXPECT_EQ(changes, 3);

    dib.SetTransparent(true);
    dib.SetOpacity(255);
    dib.SetAngle(360);
    EXPECT_EQ(changes, 3) << "equal values change nothing";

    dib.SetOpacity(10);
    EXPECT_EQ(dib.DrawWay(), TDrawWay::TransparentColorOpacity);
    dib.SetTransparent(false);
    EXPECT_EQ(dib.DrawWay(), TDrawWay::Opacity);
    dib.SetMasked(true);
    EXPECT_EQ(dib.DrawWay(), TDrawWay::MaskOpacity);
    dib.SetAngle(-90);
    EXPECT_EQ(dib.Angle(), 270);
    dib.SetScale(50);
    EXPECT_EQ(dib.ScaleX(), 50);
    EXPECT_EQ(dib.ScaleY(), 50);
    EXPECT_EQ(changes, 8);

    dib.BeginUpdate();
    dib.BeginUpdate();
    dib.SetOpacity(255);
    dib.SetMasked(false);
    dib.EndUpdate();
    EXPECT_EQ(changes, 8) << "no event while an update is open";
    dib.EndUpdate();
    EXPECT_EQ(changes, 9) << "one event when the last update closes";
    EXPECT_EQ(dib.DrawWay(), TDrawWay::Copy);

    try {
        dib.EndUpdate();
        FAIL() << "EndUpdate without BeginUpdate must raise";
    } catch (const EDIBError& e) {
        EXPECT_STREQ(e.what(), "EndUpdate without BeginUpdate");
    }
}

TEST(TAbstractSuperDIB, DrawingWaysAreBitExact) {
    const TPixel32 s = Px(200, 100, 50, 10), d = Px(0, 50, 250, 30);
    EXPECT_EQ(DrawOne(s, d, false, false, 255), s) << "copy overwrites all four bytes, alpha included";
    // opacity 100: (100 * s + 155 * d + 255) >> 8 per channel, alpha the larger.
    EXPECT_EQ(DrawOne(s, d, false, false, 100), Px(79, 70, 171, 30));
    EXPECT_EQ(DrawOne(s, d, false, false, 0), Px(0, 50, 250, 30)) << "opacity 0 keeps the colours";
    EXPECT_EQ(DrawOne(Px(1, 2, 3, 99), d, false, false, 0), Px(0, 50, 250, 99))
        << "opacity 0 still raises alpha to the source's";
    // mask: coverage is the source alpha.
    EXPECT_EQ(DrawOne(Px(200, 100, 50, 255), d, true, false, 255), Px(200, 100, 50, 255));
    EXPECT_EQ(DrawOne(Px(200, 100, 50, 0), d, true, false, 255), Px(0, 50, 250, 30));
    EXPECT_EQ(DrawOne(Px(200, 100, 50, 128), d, true, false, 255), Px(100, 75, 150, 128));
    // mask with opacity: coverage (255 * 128) >> 8 = 127.
    EXPECT_EQ(DrawOne(Px(200, 100, 50, 255), d, true, false, 128), Px(100, 75, 150, 255));
    // transparent colour: the key is skipped, other pixels replace the colour with alpha 0.
    EXPECT_EQ(DrawOne(Px(9, 8, 7, 200), d, false, true, 255, RGBColor(7, 8, 9)), d);
    EXPECT_EQ(DrawOne(Px(9, 8, 6, 200), d, false, true, 255, RGBColor(7, 8, 9)), Px(9, 8, 6, 0));
    // transparent colour with opacity: blended, alpha taken from the source.
    EXPECT_EQ(DrawOne(Px(9, 8, 7, 200), d, false, true, 100, RGBColor(7, 8, 9)), d);
    EXPECT_EQ(DrawOne(s, d, false, true, 100, RGBColor(7, 8, 9)), Px(79, 70, 171, 10));

    // Over every pair of channel values, full coverage gives the source and none the destination.
    TMemoryDIB src(256, 1), dst(256, 1);
    for (unsigned sv = 0; sv < 256; sv += 5) {
        for (int i = 0; i < 256; ++i) {
            src.SetPixel(i, 0, Px(sv, sv, sv, 255));
            dst.SetPixel(i, 0, Px(i, i, i, 0));
        }
        src.SetMasked(true);
        src.Draw(dst, 0, 0);
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(PixelBlue(dst.Pixel(i, 0)), sv) << "coverage 255, dest " << i;
        for (int i = 0; i < 256; ++i) {
            src.SetPixel(i, 0, Px(sv, sv, sv, 0));
            dst.SetPixel(i, 0, Px(i, i, i, 0));
        }
        src.Draw(dst, 0, 0);
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(PixelBlue(dst.Pixel(i, 0)), static_cast<unsigned>(i)) << "coverage 0, source " << sv;
    }
}

TEST(TAbstractSuperDIB, DrawClipsToTheDestinationClipRectThenToBothBitmaps) {
    TMemoryDIB source(10, 2);
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 2; ++y)
            source.SetPixel(x, y, Px(x, y, 1, 255));
    TWinDIB dest(20, 6);
    int destChanges = 0;
    dest.OnChange = [&](TAbstractSuperDIB&) { ++destChanges; };
    const TPixel32 blank = Px(0, 0, 0, 7);
    dest.Fill(blank);

    dest.SetClipRect({14, 5, 5, 2}); // given reversed: stored ordered
    EXPECT_EQ(dest.ClipRect(), (TClipRect{5, 2, 14, 5}));
    source.Draw(dest, 0, 1); // starts 5 pixels left of and 1 row above the clip
    EXPECT_EQ(destChanges, 1) << "the destination reports the drawing";
    EXPECT_EQ(dest.Pixel(4, 2), blank) << "left of the clip untouched";
    EXPECT_EQ(dest.Pixel(5, 2), Px(5, 1, 1, 255)) << "source column 5, row 1 at the clip's corner";
    EXPECT_EQ(dest.Pixel(9, 2), Px(9, 1, 1, 255));
    EXPECT_EQ(dest.Pixel(10, 2), blank) << "the source ends at column 9";
    EXPECT_EQ(dest.Pixel(5, 1), blank) << "above the clip untouched";
    EXPECT_EQ(dest.Pixel(5, 3), blank) << "source row 0 was above the clip";

    dest.Fill(blank);
    source.Draw(dest, 10, 4); // runs past the clip's right edge (14) and bottom row (5)
    EXPECT_EQ(dest.Pixel(14, 5), Px(4, 1, 1, 255));
    EXPECT_EQ(dest.Pixel(15, 5), blank);

    dest.SetClipRect({-50, -50, 500, 500});
    EXPECT_EQ(dest.ClipRect(), (TClipRect{0, 0, 19, 5})) << "clamped into the bitmap";
    dest.Fill(blank);
    source.Draw(dest, 20, 0);
    source.Draw(dest, 0, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(dest.Pixel(x, y), blank) << "drawing beyond the right or bottom edge draws nothing";
    source.Draw(dest, 15, 5);
    EXPECT_EQ(dest.Pixel(19, 5), Px(4, 0, 1, 255)) << "cut at the destination's edges";

    // Rectangles outside the source are cut to it, never read beyond it.
    dest.Fill(blank);
    source.Draw(dest, 0, 0, -3, 0, 5, 1);
    EXPECT_EQ(dest.Pixel(2, 0), blank);
    EXPECT_EQ(dest.Pixel(3, 0), Px(0, 0, 1, 255));
    EXPECT_EQ(dest.Pixel(4, 0), Px(1, 0, 1, 255));
    source.Draw(dest, 0, 0, 8, 0, 100, 100);
    EXPECT_EQ(dest.Pixel(1, 1), Px(9, 1, 1, 255));
    EXPECT_EQ(dest.Pixel(2, 0), blank);
    source.Draw(dest, 0, 0, 50, 50, 5, 5); // entirely outside the source
    TMemoryDIB empty;
    empty.Draw(dest, 0, 0);
    source.Draw(empty, 0, 0);
}

TEST(TAbstractSuperDIB, RotatedAndScaledDrawingGoesThroughATransformedPicture) {
    TMemoryDIB source(3, 1);
    source.SetPixel(0, 0, Px(10, 0, 0, 255));
    source.SetPixel(1, 0, Px(20, 0, 0, 255));
    source.SetPixel(2, 0, Px(30, 0, 0, 255));

    TDrawSettings s = source.Settings();
    int w = 0, h = 0;
    s.ScaleX = s.ScaleY = 150;
    TAbstractSuperDIB::TransformedSize(3, 1, s, w, h);
    EXPECT_EQ(w, 5) << "4.5 rounded up";
    EXPECT_EQ(h, 2) << "1.5 rounded up";

    source.SetAngle(90);
    TWinDIB dest(4, 4);
    source.Draw(dest, 1, 0);
    // A quarter turn counter-clockwise: the right end goes to the top.
    EXPECT_EQ(dest.Pixel(1, 0), Px(30, 0, 0, 255));
    EXPECT_EQ(dest.Pixel(1, 1), Px(20, 0, 0, 255));
    EXPECT_EQ(dest.Pixel(1, 2), Px(10, 0, 0, 255));
    EXPECT_EQ(dest.Pixel(2, 0), 0u);

    // A masked picture turned by 45 degrees leaves the destination alone in the corners it does
    // not cover.
    TMemoryDIB square(8, 8);
    square.Fill(Px(255, 255, 255, 255));
    square.SetMasked(true);
    square.SetAngle(45);
    TWinDIB canvas(20, 20);
    canvas.Fill(Px(1, 2, 3, 0));
    square.Draw(canvas, 0, 0);
    EXPECT_EQ(canvas.Pixel(0, 0), Px(1, 2, 3, 0)) << "corner outside the turned square";
    EXPECT_EQ(canvas.Pixel(5, 5), Px(255, 255, 255, 255)) << "centre of the turned square (12 x 12)";
    EXPECT_EQ(canvas.Pixel(12, 0), Px(1, 2, 3, 0)) << "nothing beyond the 12 x 12 box";
    EXPECT_EQ(square.Angle(), 45) << "drawing does not change the source";
}

} // namespace
} // namespace skin
