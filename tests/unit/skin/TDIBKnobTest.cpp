#include "skin/TDIBKnob.h"

#include "SkinTestSupport.h"
#include "platform/headless/HeadlessCursor.h"
#include "skin/EDIBError.h"
#include "skin/TDIBContainer.h"
#include "skin/TDIBImageList.h"

#include <gtest/gtest.h>

#include <memory>

namespace skin {
namespace {

using platform::MouseButton;
using platform::ShiftState;
using platform::headless::HeadlessCursor;

// A form-like owner with one container (100 x 100 at the screen origin), an image list and a knob.
struct KnobFixture : ::testing::Test {
    TComponent form;
    TDIBContainer container{&form};
    TDIBImageList images{&form};
    HeadlessCursor cursor;
    std::unique_ptr<TDIBKnob> knob;
    int changes = 0;

    void SetUp() override {
        container.SetBounds(0, 0, 100, 100);
        container.SetCursorService(&cursor);
        knob = std::make_unique<TDIBKnob>(&form);
        knob->SetBounds(10, 10, 20, 20);
        knob->OnChange = [this](TComponent* sender) {
            EXPECT_EQ(sender, knob.get());
            ++changes;
        };
    }

    void UseStrip(int frames, int frameWidth = 4, int frameHeight = 3) {
        const int index = test::AddStrip(images, frames, frameWidth, frameHeight);
        knob->SetDIBImageList(&images);
        knob->SetNumGlyphs(frames);
        knob->IndexMain.SetDIBIndex(index);
    }

    // Press on the knob with the cursor at a screen point, move by (dx, dy) in steps, release.
    void Press(int x = 15, int y = 15) {
        cursor.MoveTo({x, y});
        container.MouseDown(MouseButton::Left, {.left = true}, x, y);
    }
    void MoveBy(int dx, int dy, ShiftState shift = {.left = true}) {
        cursor.MoveBy(dx, dy);
        const platform::Point p = cursor.Position();
        container.MouseMove(shift, p.x, p.y);
    }
    void Release() {
        const platform::Point p = cursor.Position();
        container.MouseUp(MouseButton::Left, {}, p.x, p.y);
    }
};

TEST_F(KnobFixture, ValueModelKeepsMinBelowMaxAndPositionInside) {
    EXPECT_EQ(knob->Min(), 0);
    EXPECT_EQ(knob->Max(), 100);
    EXPECT_EQ(knob->Position(), 0);
    EXPECT_EQ(knob->SmallChange(), 1);
    EXPECT_EQ(knob->PageSize(), 5);
    EXPECT_EQ(knob->NumGlyphs(), 1);
    EXPECT_TRUE(knob->AutoSize());

    knob->SetPosition(150);
    EXPECT_EQ(knob->Position(), 100);
    EXPECT_EQ(changes, 1);
    knob->SetPosition(150);
    EXPECT_EQ(changes, 1) << "no change, no event";

    knob->SetPosition(20);
    changes = 0;
    knob->SetMax(-5);
    EXPECT_EQ(knob->Max(), -5);
    EXPECT_EQ(knob->Min(), -6);
    EXPECT_EQ(knob->Position(), -5);
    EXPECT_EQ(changes, 1);

    knob->SetMin(10);
    EXPECT_EQ(knob->Min(), 10);
    EXPECT_EQ(knob->Max(), 11);
    EXPECT_EQ(knob->Position(), 10);

    // The extreme integers cannot push the other bound past the end of the range.
    knob->SetMin(INT_MAX);
    EXPECT_LT(knob->Min(), knob->Max());
    knob->SetMax(INT_MIN);
    EXPECT_LT(knob->Min(), knob->Max());
    EXPECT_GE(knob->Position(), knob->Min());
    EXPECT_LE(knob->Position(), knob->Max());

    try {
        knob->SetNumGlyphs(0);
        FAIL() << "NumGlyphs 0 must raise";
    } catch (const EDIBKnobError& e) {
        EXPECT_STREQ(e.what(), "NumGlyphs must be greater than 0.");
    }
    EXPECT_EQ(knob->NumGlyphs(), 1) << "the old value stays";
    EXPECT_THROW(knob->SetNumGlyphs(-3), EDIBError);
}

TEST_F(KnobFixture, PlainFramesFollowPositionAndAutoSizeTakesOneFrame) {
    UseStrip(64);
    EXPECT_EQ(knob->Width(), 4) << "strip width / NumGlyphs";
    EXPECT_EQ(knob->Height(), 3);
    const std::pair<int, int> cases64[] = {{0, 0}, {50, 31}, {100, 63}};
    for (auto [position, frame] : cases64) {
        knob->SetPosition(position);
        EXPECT_EQ(knob->FrameIndex(), frame) << "position " << position;
        EXPECT_EQ(test::ShownFrame(container, 10, 10), frame) << "drawn frame at position " << position;
    }
    knob->SetNumGlyphs(65);
    knob->SetPosition(100);
    EXPECT_EQ(knob->FrameIndex(), 64) << "65 frames at 100";

    // Without an image nothing is drawn and the size stays.
    knob->IndexMain.SetDIBIndex(7);
    knob->SetBounds(10, 10, 9, 9);
    knob->SetNumGlyphs(2);
    EXPECT_EQ(knob->Width(), 9);
    container.SetColor(RGBColor(1, 2, 3));
    container.Invalidate();
    container.Update();
    EXPECT_EQ(container.Picture().Pixel(12, 12), ColorToPixel(RGBColor(1, 2, 3)));
}

TEST_F(KnobFixture, BlendedFramesWeighTheTwoNeighbours) {
    UseStrip(64);
    knob->SetDrawTweens(true);
    knob->SetPosition(100);
    auto t = knob->TweenFrameChoice();
    EXPECT_EQ(t.hi, 63) << "stops at the last frame without looping";
    EXPECT_EQ(t.lo, 63);
    EXPECT_EQ(test::ShownFrame(container, 10, 10), 63);
    knob->SetLoopLastFrame(true);
    t = knob->TweenFrameChoice();
    EXPECT_EQ(t.hi, 0) << "wraps to the first frame with looping";
    EXPECT_EQ(test::ShownFrame(container, 10, 10), 0);
    knob->SetLoopLastFrame(false);

    // Position 1 of 0..100 over 64 frames: f = 0.64, weight 255 - round(163.2) = 92.
    knob->SetPosition(1);
    t = knob->TweenFrameChoice();
    EXPECT_EQ(t.hi, 1);
    EXPECT_EQ(t.lo, 0);
    EXPECT_EQ(t.weight, 92);
    container.Invalidate();
    container.Update();
    // Frame 0 (blue 0, red 255) at weight 92 over frame 1 (blue 1, red 254).
    const TPixel32 p = container.Picture().Pixel(11, 11);
    EXPECT_EQ(PixelBlue(p), (92u * 0 + 163u * 1 + 255) >> 8);
    EXPECT_EQ(PixelRed(p), (92u * 255 + 163u * 254 + 255) >> 8);

    knob->SetPosition(50); // f = 32 exactly: a whole frame
    t = knob->TweenFrameChoice();
    EXPECT_EQ(t.lo, 32);
    EXPECT_EQ(t.weight, 255);
    EXPECT_EQ(test::ShownFrame(container, 10, 10), 32);
}

TEST_F(KnobFixture, BlendedFramesOfAMaskedStripKeepItsTransparentCorners) {
    // A masked strip whose frames have a transparent top-left pixel of a colour of their own.
    const int index = test::AddStrip(images, 64, 4, 3, true);
    TMemoryDIB& strip = images.Item(index)->DIB;
    for (int k = 0; k < 64; ++k)
        strip.SetPixel(k * 4, 0, MakePixel(9, 9, 9, 0));
    knob->SetDIBImageList(&images);
    knob->SetNumGlyphs(64);
    knob->IndexMain.SetDIBIndex(index);
    knob->SetDrawTweens(true);
    container.SetColor(RGBColor(40, 50, 60));

    for (int position : {1, 50, 99, 100}) {
        knob->SetPosition(position);
        container.Invalidate();
        container.Update();
        EXPECT_EQ(container.Picture().Pixel(10, 10), ColorToPixel(RGBColor(40, 50, 60)))
            << "position " << position << ": the corner shows the container";
        EXPECT_EQ(PixelAlpha(container.Picture().Pixel(11, 10)), 255u) << "position " << position;
    }
    knob->SetPosition(1);
    container.Invalidate();
    container.Update();
    // Frame 0 over frame 1 with weight 92, as in the unmasked case.
    EXPECT_EQ(PixelRed(container.Picture().Pixel(11, 11)), (92u * 255 + 163u * 254 + 255) >> 8);
}

TEST_F(KnobFixture, DragTurnsByStepsAndReturnsTheCursorToTheAnchor) {
    knob->SetPosition(50);
    changes = 0;
    Press(15, 15);
    EXPECT_TRUE(knob->DragActive());
    EXPECT_EQ(knob->DragAnchor(), (platform::Point{15, 15}));
    EXPECT_EQ(cursor.HideCalls(), 1);
    EXPECT_FALSE(cursor.Visible());

    MoveBy(0, -10);
    EXPECT_EQ(knob->Position(), 60) << "10 pixels up, small change 1";
    EXPECT_EQ(cursor.Position(), (platform::Point{15, 15})) << "cursor back at the anchor";
    MoveBy(0, 3);
    EXPECT_EQ(knob->Position(), 57);
    MoveBy(7, 0);
    EXPECT_EQ(knob->Position(), 57) << "vertical knobs ignore sideways motion";
    const auto warps = cursor.SetPositions().size();
    cursor.MoveTo({22, 15});
    container.MouseMove({.left = true}, 22, 15);
    EXPECT_EQ(cursor.SetPositions().size(), warps) << "no motion along the axis: nothing happens";
    cursor.MoveTo({15, 15});

    knob->SetSmallChange(2);
    MoveBy(0, -100);
    EXPECT_EQ(knob->Position(), 100);
    const int atMax = changes;
    MoveBy(0, -5);
    EXPECT_EQ(knob->Position(), 100);
    EXPECT_EQ(changes, atMax) << "at Max more upward motion raises no OnChange";

    Release();
    EXPECT_FALSE(knob->DragActive());
    EXPECT_EQ(cursor.ShowCalls(), 1);
    EXPECT_TRUE(cursor.Visible());
    EXPECT_EQ(cursor.Position(), (platform::Point{15, 15}));

    // Only the left button drags.
    container.MouseDown(MouseButton::Right, {.right = true}, 15, 15);
    EXPECT_FALSE(knob->DragActive());
    container.MouseUp(MouseButton::Right, {}, 15, 15);
    EXPECT_EQ(cursor.HideCalls(), 1);
}

TEST_F(KnobFixture, FineTuneAndHorizontalDrag) {
    knob->SetUseFineTune(true);
    knob->SetPageSize(5);
    knob->SetPosition(50);
    Press();
    MoveBy(0, -2);
    EXPECT_EQ(knob->Position(), 60) << "without Shift a fine-tune knob moves by PageSize per pixel";
    MoveBy(0, -2, {.shift = true, .left = true});
    EXPECT_EQ(knob->Position(), 62) << "with Shift by SmallChange";
    Release();

    knob->SetUseFineTune(false);
    knob->SetOrientation(TKnobOrientation::koHorizontal);
    Press();
    MoveBy(4, -30);
    EXPECT_EQ(knob->Position(), 66) << "rightward motion is positive";
    MoveBy(-6, 0);
    EXPECT_EQ(knob->Position(), 60);
    Release();
    EXPECT_EQ(cursor.HideCalls(), cursor.ShowCalls());
}

TEST_F(KnobFixture, KeysStepOnlyWithTheKitFocus) {
    knob->SetPosition(50);
    EXPECT_FALSE(container.KeyDown(platform::kKeyUp, {})) << "nobody holds the focus";
    EXPECT_EQ(knob->Position(), 50);

    knob->SetDIBTabOrder(0);
    Press();
    Release();
    ASSERT_TRUE(knob->Focused()) << "a click gives the focus to a control with a tab order";
    container.KeyDown(platform::kKeyUp, {});
    container.KeyDown(platform::kKeyRight, {});
    EXPECT_EQ(knob->Position(), 52);
    container.KeyDown(platform::kKeyPageDown, {});
    EXPECT_EQ(knob->Position(), 47);
    container.KeyDown(platform::kKeyDown, {});
    container.KeyDown(platform::kKeyLeft, {});
    EXPECT_EQ(knob->Position(), 45);
    container.KeyDown(platform::kKeyPageUp, {});
    EXPECT_EQ(knob->Position(), 50);
    container.KeyDown(platform::kKeyHome, {});
    EXPECT_EQ(knob->Position(), 50) << "other keys do nothing";
    for (int i = 0; i < 30; ++i)
        container.KeyDown(platform::kKeyPageUp, {});
    EXPECT_EQ(knob->Position(), 100) << "clamped";

    // The control's own key event runs first and may swallow the key.
    knob->OnKeyDown = [](TComponent*, platform::KeyCode& key, ShiftState) { key = 0; };
    container.KeyDown(platform::kKeyDown, {});
    EXPECT_EQ(knob->Position(), 100);

    knob->SetVisible(false);
    EXPECT_FALSE(knob->Focused()) << "a hidden control gives up the kit's focus";
    EXPECT_FALSE(container.KeyDown(platform::kKeyDown, {}));
}

TEST_F(KnobFixture, AnInterruptedDragAlwaysShowsTheCursorAgain) {
    auto expectRestored = [&](const char* how) {
        EXPECT_TRUE(!knob || !knob->DragActive()) << how;
        EXPECT_TRUE(cursor.Visible()) << how;
        EXPECT_EQ(cursor.HideCalls(), cursor.ShowCalls()) << how;
        EXPECT_EQ(cursor.Position(), (platform::Point{15, 15})) << how << ": cursor at the anchor";
    };

    Press();
    MoveBy(0, -3);
    cursor.MoveBy(40, 40);
    container.CaptureLost();
    expectRestored("capture taken by another window");
    Release(); // the late release finds no drag
    EXPECT_EQ(cursor.ShowCalls(), 1);

    Press();
    container.FocusLost();
    expectRestored("focus lost");

    Press();
    container.MouseDown(MouseButton::Left, {.left = true}, 15, 15); // a press whose release was lost
    EXPECT_EQ(cursor.HideCalls(), 3) << "a second press does not hide the cursor twice";
    Release();
    expectRestored("second press");

    Press();
    knob->SetVisible(false);
    expectRestored("knob hidden");
    knob->SetVisible(true);

    Press();
    knob->SetEnabled(false);
    expectRestored("knob disabled");
    knob->SetEnabled(true);

    Press();
    knob.reset();
    expectRestored("knob destroyed");
    Release();
    EXPECT_EQ(container.CaptureControl(), nullptr);

    {
        TComponent owner;
        auto inner = std::make_unique<TDIBContainer>(&owner);
        inner->SetBounds(0, 0, 50, 50);
        inner->SetCursorService(&cursor);
        TDIBKnob innerKnob(inner.get());
        cursor.MoveTo({15, 15});
        inner->MouseDown(MouseButton::Left, {.left = true}, 15, 15);
        EXPECT_TRUE(innerKnob.DragActive());
        inner.reset();
        EXPECT_FALSE(innerKnob.DragActive()) << "container destroyed";
        EXPECT_EQ(innerKnob.Parent(), nullptr);
        EXPECT_TRUE(cursor.Visible());
    }
}

TEST_F(KnobFixture, APressHandlerThatHidesOrDisablesTheKnobStartsNoDrag) {
    knob->OnMouseDown = [this](TComponent*, MouseButton, ShiftState, int, int) { knob->SetVisible(false); };
    Press();
    EXPECT_FALSE(knob->DragActive());
    EXPECT_TRUE(cursor.Visible());
    Release();
    EXPECT_EQ(cursor.HideCalls(), cursor.ShowCalls());

    knob->SetVisible(true);
    knob->OnMouseDown = [this](TComponent*, MouseButton, ShiftState, int, int) { knob->SetEnabled(false); };
    Press();
    EXPECT_FALSE(knob->DragActive());
    EXPECT_TRUE(cursor.Visible());
    Release();
    EXPECT_EQ(cursor.HideCalls(), cursor.ShowCalls());

    knob->SetEnabled(true);
    knob->OnMouseDown = nullptr;
    Press();
    EXPECT_TRUE(knob->DragActive()) << "an ordinary press still drags";
    Release();
    EXPECT_EQ(cursor.HideCalls(), cursor.ShowCalls());
}

TEST_F(KnobFixture, AChangeHandlerThatHidesTheKnobEndsTheDragCleanly) {
    knob->OnChange = [this](TComponent*) { knob->SetVisible(false); };
    Press();
    MoveBy(0, -4);
    EXPECT_EQ(knob->Position(), 4);
    EXPECT_FALSE(knob->DragActive());
    EXPECT_TRUE(cursor.Visible());
    EXPECT_EQ(cursor.HideCalls(), cursor.ShowCalls());
}

TEST(TDIBKnobWithoutCursor, DragsByMouseEventsWhenNoCursorServiceExists) {
    TComponent form;
    TDIBContainer container(&form);
    container.SetBounds(0, 0, 100, 100);
    TDIBKnob knob(&form);
    knob.SetBounds(0, 0, 40, 40);
    container.MouseDown(MouseButton::Left, {.left = true}, 20, 20);
    container.MouseMove({.left = true}, 20, 15);
    container.MouseMove({.left = true}, 20, 12);
    EXPECT_EQ(knob.Position(), 8);
    container.MouseUp(MouseButton::Left, {}, 20, 12);
    EXPECT_FALSE(knob.DragActive());
}

} // namespace
} // namespace skin
