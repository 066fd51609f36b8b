#pragma once

#include "skin/TCustomDIBControl.h"
#include "skin/TDIBImageLink.h"

namespace skin {

// A control that shows one image of an image list, optionally rotated, scaled, stretched to the
// control or centred in it.
class TCustomDIBImage : public TCustomDIBControl {
public:
    explicit TCustomDIBImage(TComponent* owner);

    TDIBImageLink IndexMain;

    double Angle() const { return angle_; }
    // Stored normalised into 0 <= angle < 360.
    void SetAngle(double degrees);
    double Scale() const { return scale_; }
    // Percent; turns Stretch off. Values that cannot be drawn (not above 0, not finite) are ignored.
    void SetScale(double percent);
    bool Center() const { return center_; }
    void SetCenter(bool center);
    bool Stretch() const { return stretch_; }
    // Scales the image to the control's size; turns AutoSize off.
    void SetStretch(bool stretch);
    bool AutoSize() const { return autoSize_; }
    // Sizes the control to the rotated, scaled image.
    void SetAutoSize(bool autoSize);

    // Where and how large the image is drawn within the control, as the current settings give it.
    platform::Rect ImageRect() const;

protected:
    void Paint(TWinDIB& work) override;
    void Resized() override;
    void ImageListChanged() override { AdjustSize(); }

private:
    TDrawSettings DrawingSettings() const;
    void AdjustSize();

    double angle_ = 0;
    double scale_ = 100;
    bool center_ = false;
    bool stretch_ = false;
    bool autoSize_ = false;
};

class TDIBImage : public TCustomDIBImage {
public:
    using TCustomDIBImage::TCustomDIBImage;
};

} // namespace skin
