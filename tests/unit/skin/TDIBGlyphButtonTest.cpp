#include "skin/TDIBGlyphButton.h"

#include "SkinTestSupport.h"
#include "skin/EDIBError.h"
#include "skin/TDIBContainer.h"
#include "skin/TDIBImageList.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace skin {
namespace {

using platform::MouseButton;

struct ButtonFixture : ::testing::Test {
    TComponent form;
    TDIBContainer container{&form};
    TDIBImageList images{&form};
    TDIBGlyphButton a{&form};
    TDIBGlyphButton b{&form};

    void SetUp() override {
        container.SetBounds(0, 0, 100, 40);
        a.SetBounds(0, 0, 20, 20);
        b.SetBounds(40, 0, 20, 20);
    }
    void ClickAt(int x, int y) {
        container.MouseDown(MouseButton::Left, {.left = true}, x, y);
        container.MouseUp(MouseButton::Left, {}, x, y);
    }
};

TEST_F(ButtonFixture, ClickRaisesOnClickBeforeToggling) {
    EXPECT_FALSE(a.Down());
    EXPECT_FALSE(a.ToggleDown());
    EXPECT_EQ(a.Group(), 0);
    EXPECT_EQ(a.NumGlyphs(), 2);
    EXPECT_TRUE(a.AutoSize());

    std::vector<bool> seen;
    a.OnClick = [&](TComponent* sender) {
        EXPECT_EQ(sender, &a);
        seen.push_back(a.Down());
    };
    ClickAt(5, 5);
    EXPECT_FALSE(a.Down()) << "a plain button does not latch";
    a.SetToggleDown(true);
    ClickAt(5, 5);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_FALSE(seen[1]) << "the handler sees Down as it was before the click";
    EXPECT_TRUE(a.Down()) << "and afterwards it is flipped";

    // A double click is two clicks.
    container.MouseDown(MouseButton::Left, {.left = true}, 5, 5);
    container.MouseUp(MouseButton::Left, {}, 5, 5);
    container.MouseDown(MouseButton::Left, {.left = true, .doubleClick = true}, 5, 5);
    container.MouseUp(MouseButton::Left, {}, 5, 5);
    EXPECT_EQ(seen.size(), 4u);
    EXPECT_TRUE(a.Down());

    // A press that is released elsewhere is no click; SetDown never clicks.
    container.MouseDown(MouseButton::Left, {.left = true}, 5, 5);
    container.MouseUp(MouseButton::Left, {}, 90, 30);
    a.SetDown(false);
    EXPECT_EQ(seen.size(), 4u);
    container.MouseDown(MouseButton::Right, {.right = true}, 5, 5);
    container.MouseUp(MouseButton::Right, {}, 5, 5);
    EXPECT_EQ(seen.size(), 4u) << "only the left button clicks";
}

TEST_F(ButtonFixture, GroupsAreExclusiveAmongTheOwnersButtons) {
    a.SetDown(true);
    b.SetDown(true);
    EXPECT_TRUE(a.Down() && b.Down()) << "group 0 allows both";

    a.SetGroup(3);
    b.SetGroup(3);
    EXPECT_FALSE(a.Down()) << "joining the group while down releases the other down button";
    EXPECT_TRUE(b.Down());
    a.SetDown(true);
    EXPECT_TRUE(a.Down());
    EXPECT_FALSE(b.Down());

    // A button of another owner in the same group is not affected.
    TComponent otherForm;
    TDIBContainer otherContainer(&otherForm);
    TDIBGlyphButton c(&otherForm);
    c.SetGroup(3);
    c.SetDown(true);
    EXPECT_TRUE(a.Down());

    try {
        a.SetGroup(-1);
        FAIL() << "a negative group must raise";
    } catch (const EDIBButtonError& e) {
        EXPECT_STREQ(e.what(), "Invalid group.");
    }
    EXPECT_EQ(a.Group(), 3);
}

TEST_F(ButtonFixture, StateFollowsEnabledDownPointerAndFocus) {
    EXPECT_EQ(a.ButtonState(), bsEnabled);
    container.MouseMove({}, 5, 5);
    EXPECT_EQ(a.ButtonState(), bsMouseOver);
    container.MouseDown(MouseButton::Left, {.left = true}, 5, 5);
    EXPECT_EQ(a.ButtonState(), bsMouseClick);
    container.MouseUp(MouseButton::Left, {}, 5, 5);
    EXPECT_EQ(a.ButtonState(), bsMouseOver);
    container.MouseMove({}, 90, 30);
    EXPECT_EQ(a.ButtonState(), bsEnabled);
    a.SetDown(true);
    EXPECT_EQ(a.ButtonState(), bsDown);
    a.SetEnabled(false);
    EXPECT_EQ(a.ButtonState(), bsDisabled);
    a.SetEnabled(true);
    a.SetDown(false);
    a.SetDIBTabOrder(1);
    container.SetFocusedControl(&a);
    EXPECT_EQ(a.ButtonState(), bsMouseOver) << "the kit's focus counts as the pointer";

    // Capture lost while pressed: the button falls back to its resting look.
    container.MouseMove({}, 45, 5);
    container.MouseDown(MouseButton::Left, {.left = true}, 45, 5);
    EXPECT_EQ(b.ButtonState(), bsMouseClick);
    container.CaptureLost();
    EXPECT_EQ(b.ButtonState(), bsMouseOver);
}

TEST_F(ButtonFixture, FrameChoicePerNumGlyphs) {
    const int expected[4][5] = {
        {0, 1, 0, 0, 1}, // 2 frames
        {0, 1, 2, 0, 1}, // 3
        {0, 1, 2, 3, 1}, // 4
        {0, 1, 2, 3, 4}, // 5
    };
    for (int n = 2; n <= 5; ++n)
        for (int s = 0; s <= 4; ++s)
            EXPECT_EQ(TCustomDIBGlyphButton::FrameIndex(s, n), expected[n - 2][s])
                << n << " frames, state " << s;

    // Drawn: the frame at x = frame * width.
    const int strip2 = test::AddStrip(images, 2, 6, 5);
    const int strip5 = test::AddStrip(images, 5, 6, 5);
    a.SetDIBImageList(&images);
    a.Glyph.SetDIBIndex(strip2);
    EXPECT_EQ(a.Width(), 6) << "auto size to one frame";
    EXPECT_EQ(a.Height(), 5);
    a.SetEnabled(false);
    EXPECT_EQ(test::ShownFrame(container, 0, 0), 0) << "2 frames, disabled";
    a.SetEnabled(true);
    a.SetDown(true);
    EXPECT_EQ(test::ShownFrame(container, 0, 0), 1) << "2 frames, down";
    a.SetNumGlyphs(5);
    a.Glyph.SetDIBIndex(strip5);
    EXPECT_EQ(test::ShownFrame(container, 0, 0), 4) << "5 frames, down";

    EXPECT_THROW(a.SetNumGlyphs(1), EDIBGlyphButtonError);
    EXPECT_THROW(a.SetNumGlyphs(6), EDIBGlyphButtonError);
    EXPECT_EQ(a.NumGlyphs(), 5);
}

// Records caption drawing; every text is 10 x 6 pixels.
struct RecordingDrawer : TextDrawer {
    struct Call {
        int x, y;
        std::string text;
        TColor color;
    };
    std::vector<Call> calls;
    TTextSize TextSize(const TDIBFont&, std::string_view) override { return {10, 6}; }
    void DrawText(TAbstractSuperDIB&, int x, int y, std::string_view text, const TDIBFont& font) override {
        calls.push_back({x, y, std::string(text), font.Color});
    }
};

TEST_F(ButtonFixture, CaptionIsCentredWithTheOffsetOfTheState) {
    RecordingDrawer drawer;
    container.SetTextDrawer(&drawer);
    a.SetBounds(0, 0, 30, 20);
    a.SetCaption("Go");
    TDIBFont red;
    red.Color = RGBColor(255, 0, 0);
    a.SetFont(red);
    a.SetCaptionOffsetEnabled({1, 2});
    a.SetCaptionOffsetMouseClick({3, 4});
    a.SetCaptionOffsetDisabled({5, 6});
    a.SetCaptionOffsetMouseOver({7, 8});
    a.SetCaptionOffsetDown({50, 50});
    EXPECT_EQ(a.CaptionOffsetDown(), (platform::Point{50, 50})) << "each offset keeps its own point";

    auto paint = [&] {
        drawer.calls.clear();
        container.Invalidate();
        container.Update();
        return drawer.calls.at(0);
    };
    auto call = paint();
    EXPECT_EQ(call.x, 15 - 5 + 1);
    EXPECT_EQ(call.y, 10 - 3 + 2);
    EXPECT_EQ(call.text, "Go");
    EXPECT_EQ(call.color, red.Color);
    a.SetDown(true);
    call = paint();
    EXPECT_EQ(call.x, 13) << "down draws with the mouse-click offset";
    a.SetDown(false);
    a.SetEnabled(false);
    call = paint();
    EXPECT_EQ(call.x, 15) << "disabled offset";
    EXPECT_EQ(call.color, a.FontDisabled().Color) << "disabled font";
    a.SetEnabled(true);
    container.MouseMove({}, 5, 5);
    call = paint();
    EXPECT_EQ(call.x, 17) << "mouse-over offset";

    EXPECT_THROW(a.CaptionOffset(5), EDIBGlyphButtonError);
    try {
        a.CaptionOffset(-1);
    } catch (const EDIBGlyphButtonError& e) {
        EXPECT_STREQ(e.what(), "Unknown button state");
    }
}

} // namespace
} // namespace skin
