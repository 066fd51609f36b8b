#include "skin/TDIBImageContainer.h"

#include "SkinTestSupport.h"
#include "skin/TDIBGlyphButton.h"
#include "skin/TDIBImageList.h"
#include "skin/TDIBKnob.h"

#include <gtest/gtest.h>

namespace skin {
namespace {

// A 4 x 4 tile: a dark square with a light top-left pixel.
int AddTile(TDIBImageList& images) {
    TDIBImagesItem& tile = images.Add();
    tile.DIB.SetSize(4, 4);
    tile.DIB.Fill(MakePixel(40, 30, 20, 255));
    tile.DIB.SetPixel(0, 0, MakePixel(220, 210, 200, 255));
    return images.Count() - 1;
}

TEST(TDIBImageContainer, CentresOrTilesItsImageOverItsColour) {
    TComponent form;
    TDIBImageList images(&form);
    const int tile = AddTile(images);
    TDIBImageContainer container(&form);
    container.SetBounds(0, 0, 10, 9);
    container.SetColor(RGBColor(1, 2, 3));
    container.IndexImage.Assign(&images, tile);
    EXPECT_EQ(container.TileMethod(), TTileMethod::tmCenter);
    container.Update();
    const TWinDIB& p = container.Picture();
    EXPECT_EQ(p.Pixel(0, 0), ColorToPixel(RGBColor(1, 2, 3)));
    EXPECT_EQ(p.Pixel(3, 2), MakePixel(220, 210, 200, 255)) << "centred at ((10-4)/2, (9-4)/2)";
    EXPECT_EQ(p.Pixel(6, 5), MakePixel(40, 30, 20, 255));
    EXPECT_EQ(p.Pixel(7, 6), ColorToPixel(RGBColor(1, 2, 3)));

    container.SetTileMethod(TTileMethod::tmTile);
    container.Update();
    EXPECT_EQ(p.Pixel(0, 0), MakePixel(220, 210, 200, 255));
    EXPECT_EQ(p.Pixel(4, 4), MakePixel(220, 210, 200, 255));
    EXPECT_EQ(p.Pixel(8, 8), MakePixel(220, 210, 200, 255)) << "partial tiles at the edges";
    EXPECT_EQ(p.Pixel(9, 8), MakePixel(40, 30, 20, 255));

    // Only the dirty part is repainted.
    platform::Rect painted;
    container.OnPainted = [&](TCustomDIBContainer&, const platform::Rect& r) { painted = r; };
    container.InvalidateRect(platform::Rect::FromSize(2, 2, 3, 3));
    container.Update();
    EXPECT_EQ(painted, platform::Rect::FromSize(2, 2, 3, 3));
}

// A small skinned panel: tiled background, a masked knob with blended frames and a masked button
// that is down. Its picture is pinned by a hash so any change to the drawing ways, clipping or
// control painting shows up.
TEST(TDIBImageContainer, GoldenPictureOfAKnobAndAButton) {
    TComponent form;
    TDIBImageList images(&form);
    const int tile = AddTile(images);

    // Knob strip: 8 frames of 10 x 10, a disc whose rim pixel moves with the frame.
    TDIBImagesItem& knobStrip = images.Add();
    knobStrip.DIB.SetSize(80, 10);
    for (int f = 0; f < 8; ++f)
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) {
                const int dx = 2 * x - 9, dy = 2 * y - 9, r2 = dx * dx + dy * dy;
                const unsigned alpha = r2 <= 64 ? 255 : r2 <= 100 ? 128 : 0;
                const bool mark = (x == 1 + f) && y < 5;
                knobStrip.DIB.SetPixel(f * 10 + x, y,
                                       mark ? MakePixel(250, 250, 250, alpha)
                                            : MakePixel(60 + 20 * f, 90, 120 - 10 * f, alpha));
            }
    knobStrip.DIB.SetMasked(true);

    // Button strip: up and down frames of 12 x 8 with a soft edge.
    TDIBImagesItem& buttonStrip = images.Add();
    buttonStrip.DIB.SetSize(24, 8);
    for (int f = 0; f < 2; ++f)
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 12; ++x) {
                const bool edge = x == 0 || y == 0 || x == 11 || y == 7;
                buttonStrip.DIB.SetPixel(f * 12 + x, y,
                                         MakePixel(f ? 30 : 200, 100 + 10 * y, 12 * x, edge ? 96 : 255));
            }
    buttonStrip.DIB.SetMasked(true);

    TDIBImageContainer container(&form);
    container.SetBounds(0, 0, 32, 16);
    container.IndexImage.Assign(&images, tile);
    container.SetTileMethod(TTileMethod::tmTile);

    TDIBKnob knob(&form);
    knob.SetDIBImageList(&images);
    knob.SetNumGlyphs(8);
    knob.IndexMain.SetDIBIndex(1);
    knob.SetLeft(2);
    knob.SetTop(3);
    knob.SetDrawTweens(true);
    knob.SetPosition(37);
    EXPECT_EQ(knob.Width(), 10);

    TDIBGlyphButton button(&form);
    button.SetDIBImageList(&images);
    button.Glyph.SetDIBIndex(2);
    button.SetLeft(17);
    button.SetTop(5);
    button.SetToggleDown(true);
    button.SetOpacity(200);
    button.SetDown(true);
    EXPECT_EQ(button.Width(), 12);

    container.Update();
    // Position 37 over 8 frames: f = 2.96, frame 2 at weight 255 - round(244.8) = 10 over frame 3;
    // masked with opacity 10 the coverage is (255 * 10) >> 8 = 9.
    EXPECT_EQ(container.Picture().Pixel(7, 10), MakePixel(119, 90, 90, 255));
    // The down frame at opacity 200 over the dark tile.
    EXPECT_EQ(container.Picture().Pixel(22, 8), MakePixel(33, 109, 52, 255));
    EXPECT_EQ(container.Picture().Pixel(1, 1), MakePixel(40, 30, 20, 255))
        << "background outside the controls";
    const std::uint64_t hash = test::PictureHash(container.Picture());
    EXPECT_EQ(hash, 0x8eb9f6e2a87e3f14ull) << std::hex << "picture hash is now 0x" << hash;
}

} // namespace
} // namespace skin
