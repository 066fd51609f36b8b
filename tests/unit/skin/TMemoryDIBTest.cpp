#include "skin/TMemoryDIB.h"

#include <gtest/gtest.h>

#include <vector>

namespace skin {
namespace {

TEST(TMemoryDIB, StoredDataRestoresPixelsAndSettingsAndRefusesForeignBytes) {
    TMemoryDIB original(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            original.SetPixel(x, y, MakePixel(x, y, 7, 100 + x));
    original.SetMasked(true);
    original.SetOpacity(77);
    original.SetTransparentMode(TTransparentMode::tmFixed);
    original.SetTransparentColor(RGBColor(1, 2, 3));
    original.SetAngle(30);
    original.SetScaleY(150);
    const std::vector<std::uint8_t> data = original.SaveData();

    TMemoryDIB copy;
    int changes = 0;
    copy.OnChange = [&](TAbstractSuperDIB&) { ++changes; };
    ASSERT_TRUE(copy.LoadData(data));
    EXPECT_EQ(changes, 1) << "one change event for the whole load";
    EXPECT_EQ(copy.Width(), 3);
    EXPECT_EQ(copy.Height(), 2);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(copy.Bits()[i], original.Bits()[i]) << "pixel " << i;
    EXPECT_TRUE(copy.Masked());
    EXPECT_EQ(copy.Opacity(), 77);
    EXPECT_EQ(copy.TransparentColor(), RGBColor(1, 2, 3));
    EXPECT_EQ(copy.Angle(), 30);
    EXPECT_EQ(copy.ScaleX(), 100);
    EXPECT_EQ(copy.ScaleY(), 150);
    EXPECT_EQ(copy.DrawWay(), TDrawWay::MaskOpacity);

    TMemoryDIB untouched(1, 1);
    untouched.SetPixel(0, 0, 0x12345678);
    auto refused = [&](std::vector<std::uint8_t> bytes, const char* what) {
        EXPECT_FALSE(untouched.LoadData(bytes)) << what;
        EXPECT_EQ(untouched.Width(), 1) << what;
        EXPECT_EQ(untouched.Pixel(0, 0), 0x12345678u) << what;
    };
    refused({}, "empty");
    refused(std::vector<std::uint8_t>(data.begin(), data.end() - 1), "truncated");
    auto wrongTag = data;
    wrongTag[0] = 'X';
    refused(wrongTag, "wrong tag");
    auto huge = data;
    huge[11] = 0x7F; // width near 2^31
    refused(huge, "absurd size");
    auto negative = data;
    negative[15] = 0xFF; // negative height
    refused(negative, "negative size");
    auto longer = data;
    longer.push_back(0);
    refused(longer, "trailing bytes");
}

} // namespace
} // namespace skin
