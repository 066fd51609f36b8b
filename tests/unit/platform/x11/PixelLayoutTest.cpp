#include "platform/x11/PixelLayout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace platform::x11 {
namespace {

TEST(PixelLayoutTest, TrueColourDepth24And32CopyThePixelsAndMakeThemOpaque) {
    const std::uint32_t source[3] = {0x00123456u, 0x80FFFFFFu, 0xFF000000u};
    PixelLayout depth24;
    PixelLayout depth32;
    depth32.depth = 32;
    EXPECT_TRUE(depth24.Direct());
    EXPECT_EQ(depth24.AlphaMask(), 0u);
    EXPECT_EQ(depth32.AlphaMask(), 0xFF000000u);

    std::uint8_t out[12];
    ConvertRow(source, 3, depth32, out);
    const std::uint8_t expected32[12] = {0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0xFF};
    EXPECT_EQ(0, std::memcmp(out, expected32, 12)) << "a depth-32 parent composites with alpha: force 0xFF";
    ConvertRow(source, 3, depth24, out);
    EXPECT_EQ(out[0], 0x56);
    EXPECT_EQ(out[2], 0x12);
    EXPECT_EQ(out[3], 0x00) << "the unused byte of depth 24 stays clear";
}

TEST(PixelLayoutTest, OtherVisualsAreConvertedPerPixel) {
    PixelLayout rgb565{16, 16, 0xF800, 0x07E0, 0x001F};
    EXPECT_FALSE(rgb565.Direct());
    EXPECT_EQ(PixelValue(0x00FF0000u, rgb565), 0xF800u) << "pure red";
    EXPECT_EQ(PixelValue(0x0000FF00u, rgb565), 0x07E0u) << "pure green";
    EXPECT_EQ(PixelValue(0x000000FFu, rgb565), 0x001Fu) << "pure blue";
    EXPECT_EQ(PixelValue(0x00808080u, rgb565), (0x10u << 11) | (0x20u << 5) | 0x10u) << "mid grey";
    std::uint8_t out[4];
    const std::uint32_t two[2] = {0x00FFFFFFu, 0x00000000u};
    ConvertRow(two, 2, rgb565, out);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 0xFF);
    EXPECT_EQ(out[2], 0x00);

    // 24 bits per pixel, blue first in memory; and a visual with red and blue swapped.
    PixelLayout packed{24, 24, 0xFF0000, 0x00FF00, 0x0000FF};
    std::uint8_t three[3];
    const std::uint32_t colour = 0x00112233u;
    ConvertRow(&colour, 1, packed, three);
    EXPECT_EQ(three[0], 0x33);
    EXPECT_EQ(three[1], 0x22);
    EXPECT_EQ(three[2], 0x11);
    PixelLayout swapped{32, 24, 0x0000FF, 0x00FF00, 0xFF0000};
    EXPECT_EQ(PixelValue(0x00112233u, swapped), 0x00332211u);
    // Ten bits per channel (depth 30): the 8-bit value is spread over the wider field.
    PixelLayout deep{32, 30, 0x3FF00000, 0x000FFC00, 0x000003FF};
    EXPECT_EQ(PixelValue(0x00FFFFFFu, deep), 0x3FFFFFFFu);
    EXPECT_EQ(PixelValue(0x00000000u, deep), 0u);
}

} // namespace
} // namespace platform::x11
