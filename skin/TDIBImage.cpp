#include "skin/TDIBImage.h"

#include "skin/TMemoryDIB.h"

#include <cmath>

namespace skin {

TCustomDIBImage::TCustomDIBImage(TComponent* owner) : TCustomDIBControl(owner) {
    RegisterImageLink(IndexMain);
    IndexMain.OnChange = [this] {
        AdjustSize();
        Invalidate();
    };
}

void TCustomDIBImage::SetAngle(double degrees) {
    const double a = NormaliseAngle(degrees);
    if (a == angle_)
        return;
    angle_ = a;
    AdjustSize();
    Invalidate();
}

void TCustomDIBImage::SetScale(double percent) {
    if (!std::isfinite(percent) || percent <= 0)
        return;
    stretch_ = false;
    scale_ = percent;
    AdjustSize();
    Invalidate();
}

void TCustomDIBImage::SetCenter(bool center) {
    if (center == center_)
        return;
    center_ = center;
    AdjustSize();
    Invalidate();
}

void TCustomDIBImage::SetStretch(bool stretch) {
    if (stretch == stretch_)
        return;
    stretch_ = stretch;
    if (stretch_)
        autoSize_ = false;
    Invalidate();
}

void TCustomDIBImage::SetAutoSize(bool autoSize) {
    if (autoSize == autoSize_)
        return;
    autoSize_ = autoSize;
    AdjustSize();
    Invalidate();
}

void TCustomDIBImage::Resized() {
    // A stretched image follows the control's size.
    if (stretch_)
        Invalidate();
}

TDrawSettings TCustomDIBImage::DrawingSettings() const {
    const TMemoryDIB* image = IndexMain.GetImage();
    TDrawSettings s = image ? image->Settings() : TDrawSettings{};
    s.Angle = angle_;
    s.ScaleX = s.ScaleY = scale_;
    if (stretch_ && image && image->Width() > 0 && image->Height() > 0) {
        s.ScaleX = Width() * 100.0 / image->Width();
        s.ScaleY = Height() * 100.0 / image->Height();
    }
    s.AutoSize = true;
    return s;
}

platform::Rect TCustomDIBImage::ImageRect() const {
    const TMemoryDIB* image = IndexMain.GetImage();
    if (!image)
        return {};
    int w = 0, h = 0;
    const TDrawSettings s = DrawingSettings();
    if (s.Transformed())
        TAbstractSuperDIB::TransformedSize(image->Width(), image->Height(), s, w, h);
    else
        w = image->Width(), h = image->Height();
    int x = 0, y = 0;
    if (center_ && !autoSize_) {
        x = (Width() - w) / 2;
        y = (Height() - h) / 2;
    }
    return platform::Rect::FromSize(x, y, w, h);
}

void TCustomDIBImage::AdjustSize() {
    if (!autoSize_ || !IndexMain.GetImage())
        return;
    const platform::Rect r = ImageRect();
    SetBounds(Left(), Top(), r.Width(), r.Height());
}

void TCustomDIBImage::Paint(TWinDIB& work) {
    const TMemoryDIB* image = IndexMain.GetImage();
    if (!image)
        return;
    const platform::Rect r = ImageRect();
    image->DrawWith(work, r.left, r.top, 0, 0, image->Width(), image->Height(), DrawingSettings());
}

} // namespace skin
