#pragma once

#include "skin/TColor.h"

#include <cstdint>
#include <functional>

namespace skin {

enum class TTransparentMode { tmAuto, tmFixed };

// The six ways one bitmap is drawn onto another, chosen from the source bitmap's settings.
enum class TDrawWay { Copy, Opacity, Mask, MaskOpacity, TransparentColor, TransparentColorOpacity };

// A clip rectangle with inclusive edges, in top-down picture coordinates.
struct TClipRect {
    int Left = 0;
    int Top = 0;
    int Right = -1;
    int Bottom = -1;
    friend bool operator==(const TClipRect&, const TClipRect&) = default;
};

// The settings that decide how a bitmap is drawn. Controls that draw an image with their own
// opacity, angle or scale pass a modified copy instead of changing the shared image.
struct TDrawSettings {
    bool Masked = false;
    bool Transparent = false;
    std::uint8_t Opacity = 255;
    TColor TransparentColor = clBlack; // the colour actually compared against
    double Angle = 0;                  // degrees, 0 <= angle < 360
    double ScaleX = 100;               // percent
    double ScaleY = 100;
    bool AutoSize = true;

    bool Transformed() const { return Angle != 0 || ScaleX != 100 || ScaleY != 100; }
};

// The root of the kit's bitmap family: a 32-bit picture with the bytes blue, green, red, alpha per
// pixel, rows stored bottom-up with no gap, and alpha as the pixel's coverage for masked drawing.
// Subclasses decide where the pixels live (a system bitmap or plain memory).
//
// Every change of a drawing setting re-selects the drawing way and raises OnChange, unless an
// update is open (BeginUpdate); setting a value equal to the current one does nothing.
class TAbstractSuperDIB {
public:
    virtual ~TAbstractSuperDIB() = default;
    TAbstractSuperDIB(const TAbstractSuperDIB&) = delete;
    TAbstractSuperDIB& operator=(const TAbstractSuperDIB&) = delete;

    // --- pixels ---
    int Width() const { return width_; }
    int Height() const { return height_; }
    // Replaces the pixel memory with width x height pixels of 0 (transparent black) and resets the
    // clip rectangle to the whole bitmap. Negative sizes count as 0.
    void SetSize(int width, int height);
    // The stored rows, bottom row first; null for an empty bitmap.
    TPixel32* Bits() { return bits_; }
    const TPixel32* Bits() const { return bits_; }
    // Row y counted from the top of the picture.
    TPixel32* ScanLine(int y) { return bits_ + static_cast<std::ptrdiff_t>(height_ - 1 - y) * width_; }
    const TPixel32* ScanLine(int y) const {
        return bits_ + static_cast<std::ptrdiff_t>(height_ - 1 - y) * width_;
    }
    // Pixel access in top-down coordinates; outside the picture Pixel answers 0 and SetPixel ignores.
    TPixel32 Pixel(int x, int y) const;
    void SetPixel(int x, int y, TPixel32 value);
    void Fill(TPixel32 value);
    void FillRect(int left, int top, int width, int height, TPixel32 value);
    // Copies size, pixels and drawing settings of another bitmap (one change event).
    void Assign(const TAbstractSuperDIB& other);

    // --- settings ---
    bool Masked() const { return masked_; }
    void SetMasked(bool value);
    std::uint8_t Opacity() const { return opacity_; }
    void SetOpacity(std::uint8_t value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    TTransparentMode TransparentMode() const { return transparentMode_; }
    void SetTransparentMode(TTransparentMode value);
    // The transparent colour in effect: the fixed colour in tmFixed mode, the colour of the first
    // stored (bottom-left) pixel in tmAuto mode.
    TColor TransparentColor() const;
    TColor FixedTransparentColor() const { return transparentColor_; }
    void SetTransparentColor(TColor value);
    double Angle() const { return angle_; }
    void SetAngle(double degrees);
    double ScaleX() const { return scaleX_; }
    double ScaleY() const { return scaleY_; }
    // Sets both scales. The scale reads back as the horizontal one.
    void SetScale(double percent);
    double Scale() const { return scaleX_; }
    void SetScaleX(double percent);
    void SetScaleY(double percent);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);
    // Restores every setting to its value after creation (the pixels stay).
    void ResetSettings();

    TDrawWay DrawWay() const { return drawWay_; }
    TDrawSettings Settings() const;
    static TDrawWay SelectDrawWay(const TDrawSettings& settings);

    // --- clipping ---
    const TClipRect& ClipRect() const { return clip_; }
    // Stores the rectangle ordered (left <= right, top <= bottom) and clamped into the picture.
    void SetClipRect(TClipRect rect);
    void ResetClipRect();

    // --- change notification ---
    void BeginUpdate();
    // Closes one BeginUpdate; the last one re-selects the drawing way and raises OnChange once.
    // Throws EDIBError "EndUpdate without BeginUpdate" when no update is open.
    void EndUpdate();
    int UpdateCount() const { return updateCount_; }
    // Raises OnChange unless an update is open.
    void Changed();
    std::function<void(TAbstractSuperDIB&)> OnChange;

    // --- drawing ---
    // Draws the rectangle (sourceLeft, sourceTop, width, height) of this bitmap onto destination with
    // its top-left corner at (x, y), in the way this bitmap's settings select, clipped to the
    // destination's clip rectangle. A rotated or scaled bitmap is first rendered into a temporary
    // bitmap. The destination raises its change event afterwards.
    void Draw(TAbstractSuperDIB& destination, int x, int y, int sourceLeft, int sourceTop, int width,
              int height) const;
    void Draw(TAbstractSuperDIB& destination, int x, int y) const {
        Draw(destination, x, y, 0, 0, width_, height_);
    }
    // The same with explicit settings instead of this bitmap's own.
    void DrawWith(TAbstractSuperDIB& destination, int x, int y, int sourceLeft, int sourceTop, int width,
                  int height, const TDrawSettings& settings) const;
    // The size a transformed drawing of a width x height rectangle takes with these settings.
    static void TransformedSize(int width, int height, const TDrawSettings& settings, int& outWidth,
                                int& outHeight);
    // Renders the rectangle rotated and scaled by settings into target (resized to fit). Pixels that
    // no source pixel covers get the transparent colour and alpha 0. Bilinear filtering, except for
    // transparent-colour drawing, which samples the nearest pixel so no blended colour misses the key.
    void RenderTransformed(TAbstractSuperDIB& target, int sourceLeft, int sourceTop, int width, int height,
                           const TDrawSettings& settings) const;

protected:
    TAbstractSuperDIB() = default;
    // Provides memory for width x height pixels (both > 0), zeroed, replacing any earlier memory,
    // and answers its address.
    virtual TPixel32* AllocatePixels(int width, int height) = 0;
    // Gives the pixel memory back (called with an empty size too).
    virtual void ReleasePixels() = 0;

private:
    void SettingChanged();
    void DrawUntransformed(TAbstractSuperDIB& destination, int x, int y, int sourceLeft, int sourceTop,
                           int width, int height, const TDrawSettings& settings) const;

    TPixel32* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    bool masked_ = false;
    std::uint8_t opacity_ = 255;
    bool transparent_ = false;
    TTransparentMode transparentMode_ = TTransparentMode::tmAuto;
    TColor transparentColor_ = clBlack;
    double angle_ = 0;
    double scaleX_ = 100;
    double scaleY_ = 100;
    bool autoSize_ = true;
    TClipRect clip_;
    int updateCount_ = 0;
    TDrawWay drawWay_ = TDrawWay::Copy;
};

// Normalises an angle in degrees into 0 <= angle < 360; a non-finite angle gives 0.
double NormaliseAngle(double degrees);

} // namespace skin
