#include "skin/images/SkinImages.h"
#include "skin/images/PngDecoder.h"
#include "skin/images/SkinImageList.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace skin::images;

namespace {

// Mean absolute difference of the colour and alpha bytes of two frames of a strip.
double FrameDifference(const Image& img, int a, int b) {
    const int fw = img.width / img.frames;
    double sum = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < fw; ++x)
            for (int k = 0; k < 4; ++k)
                sum += std::abs(img.At(a * fw + x, y)[k] - img.At(b * fw + x, y)[k]);
    return sum / (fw * img.height * 4.0);
}

} // namespace

TEST(SkinImages, ImageListHasTheEditorsSizesFramesAndMasks) {
    struct Expected {
        const char* name;
        int width, height, frames, frameWidth;
        bool masked;
    };
    const Expected expected[19] = {
        {"Background", 780, 304, 1, 780, true}, {"Knob65", 3120, 48, 65, 48, true},
        {"Knob64", 4160, 39, 64, 65, true},     {"Copy", 36, 15, 2, 18, false},
        {"Paste", 36, 15, 2, 18, false},        {"OnOff", 54, 25, 2, 27, true},
        {"FilterLP", 54, 16, 2, 27, true},      {"FilterBP", 54, 16, 2, 27, true},
        {"FilterHP", 54, 16, 2, 27, true},      {"Digit1", 46, 16, 2, 23, true},
        {"Digit2", 46, 16, 2, 23, true},        {"Digit3", 46, 16, 2, 23, true},
        {"Digit4", 46, 16, 2, 23, true},        {"Digit5", 46, 16, 2, 23, true},
        {"Digit6", 46, 16, 2, 23, true},        {"Digit7", 46, 16, 2, 23, true},
        {"Digit8", 46, 16, 2, 23, true},        {"LfoLight", 23, 16, 1, 23, true},
        {"About", 780, 304, 1, 780, true},
    };
    for (int i = 0; i < 19; ++i) {
        const Expected& e = expected[i];
        EXPECT_EQ(IndexOf(e.name), i) << e.name;
        const auto img = Load(i);
        ASSERT_TRUE(img.has_value()) << e.name << " does not decode to its listed size";
        EXPECT_EQ(img->width, e.width) << e.name;
        EXPECT_EQ(img->height, e.height) << e.name;
        EXPECT_EQ(img->frames, e.frames) << e.name;
        EXPECT_EQ(img->width / img->frames, e.frameWidth) << e.name;
        EXPECT_EQ(img->width % img->frames, 0) << e.name << " frames are not equal";
        EXPECT_EQ(img->masked, e.masked) << e.name;
        EXPECT_EQ(img->pixels.size(), static_cast<std::size_t>(e.width) * e.height * 4) << e.name;
    }
}

TEST(SkinImages, FindByNameAndRejectsUnknownOnes) {
    const auto knob = Find("Knob65");
    ASSERT_TRUE(knob.has_value());
    EXPECT_EQ(knob->width, 3120);
    EXPECT_FALSE(Find("Knob66").has_value());
    EXPECT_FALSE(Find("").has_value());
    EXPECT_FALSE(Load(-1).has_value());
    EXPECT_FALSE(Load(19).has_value());
    EXPECT_TRUE(EncodedPng(19).empty());
}

TEST(SkinImages, PicturesSuitTheirDrawingWays) {
    // Copied unmasked, so every pixel must be opaque; the background covers the whole form.
    for (const char* name : {"Copy", "Paste", "Background", "About"}) {
        const auto img = Find(name);
        ASSERT_TRUE(img.has_value()) << name;
        for (std::size_t i = 3; i < img->pixels.size(); i += 4)
            ASSERT_EQ(img->pixels[i], 255) << name << " has a transparent pixel";
    }
    // Knob frames are masked dials: the background shows at the frame corners.
    for (const char* name : {"Knob65", "Knob64"}) {
        const auto img = Find(name);
        ASSERT_TRUE(img.has_value());
        const int fw = img->width / img->frames;
        for (int f = 0; f < img->frames; ++f) {
            EXPECT_EQ(img->At(f * fw, 0)[3], 0) << name << " frame " << f;
            EXPECT_EQ(img->At(f * fw + fw - 1, img->height - 1)[3], 0) << name << " frame " << f;
        }
    }
    // The light's visible part (its top 7 rows) glows.
    const auto light = Find("LfoLight");
    ASSERT_TRUE(light.has_value());
    int lit = 0;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 23; ++x)
            lit += light->At(x, y)[3] > 128;
    EXPECT_GT(lit, 30);
}

TEST(SkinImages, KnobFramesMoveSmoothlyAndButtonFramesDiffer) {
    for (const char* name : {"Knob65", "Knob64"}) {
        const auto img = Find(name);
        ASSERT_TRUE(img.has_value());
        for (int f = 1; f < img->frames; ++f) {
            const double step = FrameDifference(*img, f - 1, f);
            EXPECT_GT(step, 0.05) << name << ": frames " << f - 1 << " and " << f << " are identical";
            EXPECT_LT(step, 6.0) << name << ": jump between frames " << f - 1 << " and " << f;
        }
        EXPECT_GT(FrameDifference(*img, 0, img->frames - 1), 3.0) << name;
    }
    for (int i = 3; i <= 16; ++i) {
        const auto img = Load(i);
        ASSERT_TRUE(img.has_value());
        EXPECT_GT(FrameDifference(*img, 0, 1), 8.0) << kImageList[i].name << ": up and down look alike";
    }
}

TEST(PngDecoder, DecodesIntoBottomUpBgraAndRejectsBadInput) {
    // 2 x 2 RGBA: top row red (opaque), green (alpha 128); bottom row blue, (10, 20, 30) transparent.
    const std::uint8_t png[] = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52,
        0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x08, 0x06, 0x00, 0x00, 0x00, 0x72, 0xb6, 0x0d,
        0x24, 0x00, 0x00, 0x00, 0x17, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9c, 0x63, 0xf8, 0xcf, 0xc0, 0xf0,
        0x1f, 0x08, 0x1b, 0x18, 0x80, 0xf4, 0x7f, 0x2e, 0x11, 0x39, 0x06, 0x00, 0x3b, 0x7c, 0x05, 0xb8,
        0x43, 0xcc, 0xa5, 0x25, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
    const auto img = DecodePng(png);
    ASSERT_TRUE(img.has_value());
    ASSERT_EQ(img->width, 2);
    ASSERT_EQ(img->height, 2);
    const std::vector<std::uint8_t> expected = {
        255, 0, 0,   255, 30, 20,  10, 0,   // stored first: the bottom row (blue, then the transparent one)
        0,   0, 255, 255, 0,  255, 0,  128, // then the top row (red, green)
    };
    EXPECT_EQ(img->pixels, expected);

    EXPECT_FALSE(DecodePng({}).has_value());
    EXPECT_FALSE(DecodePng(std::span<const std::uint8_t>(png, 40)).has_value()) << "truncated file";
    std::vector<std::uint8_t> garbage(500, 0x5A);
    EXPECT_FALSE(DecodePng(garbage).has_value());
    std::vector<std::uint8_t> corrupt(png, png + sizeof png);
    corrupt[45] ^= 0xFF; // inside the compressed data
    EXPECT_FALSE(DecodePng(corrupt).has_value());
}

TEST(SkinImages, FillsTheKitsImageListInOrder) {
    skin::TDIBImageList list;
    list.Add(); // anything already there is replaced
    EXPECT_EQ(FillImageList(list), 19);
    ASSERT_EQ(list.Count(), 19);
    for (int i = 0; i < 19; ++i) {
        const skin::TDIBImagesItem* item = list.Item(i);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->DisplayName, kImageList[i].name);
        EXPECT_EQ(item->DIB.Width(), kImageList[i].width);
        EXPECT_EQ(item->DIB.Height(), kImageList[i].height);
        EXPECT_EQ(item->DIB.Masked(), kImageList[i].masked) << kImageList[i].name;
        EXPECT_EQ(item->DIB.Opacity(), 255);
        EXPECT_EQ(item->DIB.Scale(), 100);
    }
    // Pixels arrive unchanged: the kit's bottom-left pixel is the picture's bottom-left one.
    const auto knob = Find("Knob64");
    const auto& dib = list.Item(2)->DIB;
    EXPECT_EQ(std::memcmp(dib.Bits(), knob->pixels.data(), knob->pixels.size()), 0);
}

TEST(SkinImages, OpaqueCopyAndPasteButtonsBlendIntoTheBackgroundAtBothPlaces) {
    // Copy and paste are drawn without a mask, so their outer columns must match the background at
    // each place the editor puts them, or a seam shows.
    const auto bg = Find("Background");
    ASSERT_TRUE(bg.has_value());
    struct Place {
        const char* name;
        int left, top;
        int column; // the image column that lies on the background's edge
    };
    const Place places[] = {{"Copy", 601, 4, 17},   {"Copy", 600, 189, 17}, {"Paste", 616, 4, 0},
                            {"Paste", 616, 189, 0}, {"Paste", 616, 4, 17},  {"Paste", 616, 189, 17}};
    for (const Place& p : places) {
        const auto img = Find(p.name);
        ASSERT_TRUE(img.has_value());
        for (int frame = 0; frame < 2; ++frame)
            for (int y = 0; y < img->height; ++y) {
                const std::uint8_t* a = img->At(frame * 18 + p.column, y);
                const std::uint8_t* b = bg->At(p.left + p.column, p.top + y);
                for (int k = 0; k < 4; ++k)
                    ASSERT_EQ(a[k], b[k]) << p.name << " at " << p.left << "," << p.top << " frame " << frame
                                          << " row " << y << " byte " << k;
            }
    }
}
