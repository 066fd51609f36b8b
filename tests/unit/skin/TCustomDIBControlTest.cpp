#include "skin/TCustomDIBControl.h"

#include "SkinTestSupport.h"
#include "skin/EDIBError.h"
#include "skin/TDIBContainer.h"
#include "skin/TDIBImage.h"
#include "skin/TDIBImageContainer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace skin {
namespace {

using platform::MouseButton;

TEST(TCustomDIBControl, OwnerRulesAndDefaults) {
    try {
        TDIBImage orphan(nullptr);
        FAIL() << "no owner must raise";
    } catch (const EDIBError& e) {
        EXPECT_STREQ(e.what(), "Owner cannot be nil");
    }
    TComponent bare;
    try {
        TDIBImage lost(&bare);
        FAIL() << "an owner without a container must raise";
    } catch (const EDIBError& e) {
        EXPECT_STREQ(e.what(), "Parent must be a TDIBContainer");
    }
    EXPECT_EQ(bare.ComponentCount(), 0) << "a failed creation leaves nothing behind";

    // A form owning containers: the first container becomes the parent.
    TComponent form;
    TDIBImageContainer first(&form);
    TDIBContainer second(&form);
    TDIBImage onForm(&form);
    EXPECT_EQ(onForm.Parent(), &first);
    EXPECT_EQ(onForm.Owner(), &form);
    TDIBImage onContainer(&second);
    EXPECT_EQ(onContainer.Parent(), &second);
    EXPECT_EQ(onContainer.BoundsRect(), platform::Rect::FromSize(0, 0, 32, 32));
    EXPECT_EQ(onContainer.Opacity(), 255);
    EXPECT_EQ(onContainer.DIBTabOrder(), -1);
    onForm.SetParent(&second);
    EXPECT_EQ(second.Controls().size(), 2u);
    EXPECT_TRUE(first.Controls().empty());
}

// A container with a grey background and one image control over a white 8 x 8 image.
struct PaintFixture : ::testing::Test {
    TComponent form;
    TDIBContainer container{&form};
    TDIBImageList images{&form};
    TDIBImage image{&form};
    std::vector<std::string> log;
    int painted = 0;

    void SetUp() override {
        container.SetBounds(0, 0, 16, 16);
        container.SetColor(RGBColor(100, 100, 100));
        TDIBImagesItem& item = images.Add();
        item.DIB.SetSize(8, 8);
        item.DIB.Fill(MakePixel(255, 255, 255, 255));
        image.SetDIBImageList(&images);
        image.IndexMain.SetDIBIndex(0);
        image.SetBounds(4, 4, 8, 8);
        image.OnPaintStart = [this](TComponent*) { log.push_back("start"); };
        image.OnPaintEnd = [this](TComponent*) { log.push_back("end"); };
        container.OnPainted = [this](TCustomDIBContainer&, const platform::Rect&) { ++painted; };
        container.Update();
    }
};

TEST_F(PaintFixture, OpacityBlendsOverTheContainerAndRepaintsOnlyOnChange) {
    EXPECT_EQ(log, (std::vector<std::string>{"start", "end"}));
    EXPECT_EQ(container.Picture().Pixel(5, 5), MakePixel(255, 255, 255, 255));
    EXPECT_EQ(container.Picture().Pixel(2, 2), ColorToPixel(RGBColor(100, 100, 100)));

    image.SetOpacity(0);
    container.Update();
    EXPECT_EQ(container.Picture().Pixel(5, 5), ColorToPixel(RGBColor(100, 100, 100)))
        << "opacity 0 leaves only the container's picture";
    const int before = painted;
    image.SetOpacity(0);
    EXPECT_FALSE(container.NeedsPaint()) << "the same opacity again causes no repaint";
    container.Update();
    EXPECT_EQ(painted, before);

    image.SetOpacity(128);
    container.Update();
    // (128 * 255 + 127 * 100 + 255) >> 8 = 178
    EXPECT_EQ(container.Picture().Pixel(5, 5), MakePixel(178, 178, 178, 255));

    image.SetVisible(false);
    container.Update();
    EXPECT_EQ(container.Picture().Pixel(5, 5), ColorToPixel(RGBColor(100, 100, 100)));
}

TEST_F(PaintFixture, ContainerRoutesMouseEnterLeaveAndClicks) {
    std::vector<std::string> events;
    image.OnMouseEnter = [&](TComponent*) { events.push_back("enter"); };
    image.OnMouseLeave = [&](TComponent*) { events.push_back("leave"); };
    image.OnMouseDown = [&](TComponent*, MouseButton, platform::ShiftState, int x, int y) {
        events.push_back("down " + std::to_string(x) + "," + std::to_string(y));
    };
    image.OnMouseUp = [&](TComponent*, MouseButton, platform::ShiftState, int, int) {
        events.push_back("up");
    };
    image.OnClick = [&](TComponent*) { events.push_back("click"); };
    image.OnDblClick = [&](TComponent*) { events.push_back("dblclick"); };
    container.OnClick = [&](TComponent*) { events.push_back("container click"); };

    container.MouseMove({}, 1, 1);
    container.MouseMove({}, 6, 7);
    EXPECT_TRUE(image.MouseOver());
    container.MouseDown(MouseButton::Left, {.left = true}, 6, 7);
    EXPECT_TRUE(image.LeftButtonHeld());
    container.MouseMove({.left = true}, 14, 14); // leaves while pressed
    container.MouseUp(MouseButton::Left, {}, 14, 14);
    container.MouseMove({}, 6, 6);
    container.MouseDown(MouseButton::Left, {.left = true}, 6, 6);
    container.MouseUp(MouseButton::Left, {}, 6, 6);
    container.MouseDown(MouseButton::Left, {.left = true, .doubleClick = true}, 6, 6);
    container.MouseUp(MouseButton::Left, {}, 6, 6);
    container.MouseLeave();
    container.MouseDown(MouseButton::Left, {.left = true}, 1, 1);
    container.MouseUp(MouseButton::Left, {}, 1, 1);

    EXPECT_EQ(events,
              (std::vector<std::string>{"enter", "down 2,3", "leave", "up", "enter", "down 2,2", "click",
                                        "up", "down 2,2", "dblclick", "up", "leave", "container click"}));
}

TEST(TDIBImage, AngleScaleStretchCentreAndAutoSize) {
    TComponent form;
    TDIBContainer container(&form);
    container.SetBounds(0, 0, 40, 40);
    TDIBImageList images(&form);
    TDIBImagesItem& item = images.Add();
    item.DIB.SetSize(10, 4);
    item.DIB.Fill(MakePixel(9, 9, 9, 255));
    TDIBImage image(&form);
    EXPECT_EQ(image.Angle(), 0);
    EXPECT_EQ(image.Scale(), 100);
    EXPECT_FALSE(image.AutoSize());

    image.SetAngle(-90);
    EXPECT_EQ(image.Angle(), 270);
    image.SetAngle(720);
    EXPECT_EQ(image.Angle(), 0);
    image.SetAngle(-1e-30);
    EXPECT_GE(image.Angle(), 0);
    EXPECT_LT(image.Angle(), 360);

    image.SetDIBImageList(&images);
    image.IndexMain.SetDIBIndex(0);
    image.SetAutoSize(true);
    EXPECT_EQ(image.Width(), 10);
    EXPECT_EQ(image.Height(), 4);
    image.SetAngle(90);
    EXPECT_EQ(image.Width(), 4) << "auto size follows the turned picture";
    EXPECT_EQ(image.Height(), 10);
    image.SetAngle(0);
    image.SetScale(50);
    EXPECT_EQ(image.Width(), 5);
    EXPECT_EQ(image.Height(), 2);

    image.SetStretch(true);
    EXPECT_FALSE(image.AutoSize()) << "Stretch turns AutoSize off";
    image.SetBounds(0, 0, 20, 20);
    EXPECT_EQ(image.ImageRect(), platform::Rect::FromSize(0, 0, 20, 20)) << "stretched to the control";
    image.SetScale(100);
    EXPECT_FALSE(image.Stretch()) << "Scale turns Stretch off";

    image.SetCenter(true);
    EXPECT_EQ(image.ImageRect(), platform::Rect::FromSize(5, 8, 10, 4));
    container.Update();
    EXPECT_EQ(container.Picture().Pixel(5, 8), MakePixel(9, 9, 9, 255));
    EXPECT_NE(container.Picture().Pixel(4, 8), MakePixel(9, 9, 9, 255));

    image.IndexMain.SetDIBIndex(3);
    image.SetAutoSize(true);
    EXPECT_EQ(image.Width(), 20) << "a missing image keeps the size";
}

TEST(TDIBImageList, LinksFollowTheListAndSurviveItsDestruction) {
    TComponent form;
    TDIBContainer container(&form);
    auto images = std::make_unique<TDIBImageList>(&form);
    TDIBImage image(&form);
    images->Add().DIB.SetSize(3, 3);
    image.IndexMain.Assign(images.get(), 0);
    EXPECT_TRUE(image.IndexMain.Valid());
    image.IndexMain.SetDIBIndex(1);
    EXPECT_EQ(image.IndexMain.GetImage(), nullptr) << "index outside the list";
    image.IndexMain.SetDIBIndex(0);
    int changes = 0;
    image.IndexMain.OnChange = [&] { ++changes; };
    images->Item(0)->DIB.SetOpacity(3);
    EXPECT_EQ(changes, 1) << "an image's change reaches its links";
    images.reset();
    EXPECT_EQ(image.IndexMain.DIBImageList(), nullptr);
    EXPECT_FALSE(image.IndexMain.Valid());
    container.Invalidate();
    container.Update(); // paints without the list
}

} // namespace
} // namespace skin
