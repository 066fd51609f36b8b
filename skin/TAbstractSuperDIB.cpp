#include "skin/TAbstractSuperDIB.h"

#include "skin/EDIBError.h"
#include "skin/TWinDIB.h"

#include <algorithm>
#include <cmath>

namespace skin {

double NormaliseAngle(double degrees) {
    if (!std::isfinite(degrees))
        return 0;
    double a = std::fmod(degrees, 360.0);
    if (a < 0)
        a += 360.0;
    // A tiny negative angle plus 360 rounds to 360 itself, which is 0 again.
    if (a >= 360.0 || a == 0)
        a = 0;
    return a;
}

// ---------------------------------------------------------------- pixels

void TAbstractSuperDIB::SetSize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == 0 || height == 0)
        width = height = 0;
    ReleasePixels();
    bits_ = nullptr;
    width_ = height_ = 0;
    if (width > 0)
        bits_ = AllocatePixels(width, height);
    width_ = width;
    height_ = height;
    ResetClipRect();
}

TPixel32 TAbstractSuperDIB::Pixel(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    return ScanLine(y)[x];
}

void TAbstractSuperDIB::SetPixel(int x, int y, TPixel32 value) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    ScanLine(y)[x] = value;
}

void TAbstractSuperDIB::Fill(TPixel32 value) {
    std::fill(bits_, bits_ + static_cast<std::ptrdiff_t>(width_) * height_, value);
}

void TAbstractSuperDIB::FillRect(int left, int top, int width, int height, TPixel32 value) {
    const int x0 = std::max(left, 0), y0 = std::max(top, 0);
    const int x1 = std::min(left + width, width_), y1 = std::min(top + height, height_);
    for (int y = y0; y < y1; ++y)
        std::fill(ScanLine(y) + x0, ScanLine(y) + std::max(x0, x1), value);
}

void TAbstractSuperDIB::Assign(const TAbstractSuperDIB& other) {
    if (&other == this)
        return;
    // Sized before the update opens, so a failed allocation cannot leave an update open.
    SetSize(other.width_, other.height_);
    BeginUpdate();
    std::copy(other.bits_, other.bits_ + static_cast<std::ptrdiff_t>(width_) * height_, bits_);
    masked_ = other.masked_;
    opacity_ = other.opacity_;
    transparent_ = other.transparent_;
    transparentMode_ = other.transparentMode_;
    transparentColor_ = other.transparentColor_;
    angle_ = other.angle_;
    scaleX_ = other.scaleX_;
    scaleY_ = other.scaleY_;
    autoSize_ = other.autoSize_;
    EndUpdate();
}

// ---------------------------------------------------------------- settings

void TAbstractSuperDIB::SettingChanged() {
    // The way is kept current even inside an update, so a drawing made meanwhile is never stale;
    // only the event waits for EndUpdate.
    drawWay_ = SelectDrawWay(Settings());
    Changed();
}

void TAbstractSuperDIB::SetMasked(bool value) {
    if (value == masked_)
        return;
    masked_ = value;
    if (value)
        transparent_ = false;
    SettingChanged();
}

void TAbstractSuperDIB::SetOpacity(std::uint8_t value) {
    if (value == opacity_)
        return;
    opacity_ = value;
    SettingChanged();
}

void TAbstractSuperDIB::SetTransparent(bool value) {
    if (value == transparent_)
        return;
    transparent_ = value;
    if (value)
        masked_ = false;
    SettingChanged();
}

void TAbstractSuperDIB::SetTransparentMode(TTransparentMode value) {
    if (value == transparentMode_)
        return;
    transparentMode_ = value;
    SettingChanged();
}

TColor TAbstractSuperDIB::TransparentColor() const {
    if (transparentMode_ == TTransparentMode::tmFixed)
        return transparentColor_;
    return bits_ ? PixelToColor(bits_[0]) : transparentColor_;
}

void TAbstractSuperDIB::SetTransparentColor(TColor value) {
    value &= 0xFFFFFF;
    if (value == transparentColor_)
        return;
    transparentColor_ = value;
    SettingChanged();
}

void TAbstractSuperDIB::SetAngle(double degrees) {
    const double a = NormaliseAngle(degrees);
    if (a == angle_)
        return;
    angle_ = a;
    SettingChanged();
}

void TAbstractSuperDIB::SetScale(double percent) {
    if (percent == scaleX_ && percent == scaleY_)
        return;
    scaleX_ = scaleY_ = percent;
    SettingChanged();
}

void TAbstractSuperDIB::SetScaleX(double percent) {
    if (percent == scaleX_)
        return;
    scaleX_ = percent;
    SettingChanged();
}

void TAbstractSuperDIB::SetScaleY(double percent) {
    if (percent == scaleY_)
        return;
    scaleY_ = percent;
    SettingChanged();
}

void TAbstractSuperDIB::SetAutoSize(bool value) {
    if (value == autoSize_)
        return;
    autoSize_ = value;
    SettingChanged();
}

void TAbstractSuperDIB::ResetSettings() {
    BeginUpdate();
    masked_ = false;
    opacity_ = 255;
    transparent_ = false;
    transparentMode_ = TTransparentMode::tmAuto;
    transparentColor_ = clBlack;
    angle_ = 0;
    scaleX_ = scaleY_ = 100;
    autoSize_ = true;
    ResetClipRect();
    EndUpdate();
}

TDrawSettings TAbstractSuperDIB::Settings() const {
    TDrawSettings s;
    s.Masked = masked_;
    s.Transparent = transparent_;
    s.Opacity = opacity_;
    s.TransparentColor = TransparentColor();
    s.Angle = angle_;
    s.ScaleX = scaleX_;
    s.ScaleY = scaleY_;
    s.AutoSize = autoSize_;
    return s;
}

TDrawWay TAbstractSuperDIB::SelectDrawWay(const TDrawSettings& s) {
    if (s.Opacity == 255) {
        if (s.Masked)
            return TDrawWay::Mask;
        return s.Transparent ? TDrawWay::TransparentColor : TDrawWay::Copy;
    }
    if (s.Masked)
        return TDrawWay::MaskOpacity;
    return s.Transparent ? TDrawWay::TransparentColorOpacity : TDrawWay::Opacity;
}

// ---------------------------------------------------------------- clipping and updates

void TAbstractSuperDIB::SetClipRect(TClipRect r) {
    if (r.Left > r.Right)
        std::swap(r.Left, r.Right);
    if (r.Top > r.Bottom)
        std::swap(r.Top, r.Bottom);
    // An empty bitmap keeps the empty rectangle 0..-1, which no drawing passes.
    const int maxX = width_ - 1, maxY = height_ - 1;
    r.Left = std::clamp(r.Left, 0, std::max(maxX, 0));
    r.Right = std::clamp(r.Right, 0, std::max(maxX, 0));
    r.Top = std::clamp(r.Top, 0, std::max(maxY, 0));
    r.Bottom = std::clamp(r.Bottom, 0, std::max(maxY, 0));
    if (width_ == 0 || height_ == 0)
        r = TClipRect{};
    clip_ = r;
}

void TAbstractSuperDIB::ResetClipRect() {
    clip_ = TClipRect{0, 0, width_ - 1, height_ - 1};
}

void TAbstractSuperDIB::BeginUpdate() {
    ++updateCount_;
}

void TAbstractSuperDIB::EndUpdate() {
    if (updateCount_ <= 0)
        throw EDIBError("EndUpdate without BeginUpdate");
    if (--updateCount_ == 0) {
        drawWay_ = SelectDrawWay(Settings());
        Changed();
    }
}

void TAbstractSuperDIB::Changed() {
    if (updateCount_ == 0 && OnChange)
        OnChange(*this);
}

// ---------------------------------------------------------------- drawing

void TAbstractSuperDIB::Draw(TAbstractSuperDIB& destination, int x, int y, int sourceLeft, int sourceTop,
                             int width, int height) const {
    DrawWith(destination, x, y, sourceLeft, sourceTop, width, height, Settings());
}

void TAbstractSuperDIB::DrawWith(TAbstractSuperDIB& destination, int x, int y, int sourceLeft, int sourceTop,
                                 int width, int height, const TDrawSettings& settings) const {
    if (!settings.Transformed()) {
        DrawUntransformed(destination, x, y, sourceLeft, sourceTop, width, height, settings);
        return;
    }
    // Rotated or scaled: render into a temporary bitmap that carries the drawing settings (with the
    // transparent colour fixed to the one in effect here), then draw that untransformed.
    TWinDIB temp;
    RenderTransformed(temp, sourceLeft, sourceTop, width, height, settings);
    TDrawSettings plain = settings;
    plain.Angle = 0;
    plain.ScaleX = plain.ScaleY = 100;
    temp.DrawUntransformed(destination, x, y, 0, 0, temp.Width(), temp.Height(), plain);
}

namespace {

// (c1 * w + c2 * (255 - w) + 255) >> 8 for one 8-bit channel; w = 255 gives c1, w = 0 gives c2.
inline unsigned Blend(unsigned source, unsigned dest, unsigned weight) {
    return (weight * source + (255 - weight) * dest + 255) >> 8;
}

inline TPixel32 BlendPixel(TPixel32 s, TPixel32 d, unsigned weight, unsigned alpha) {
    return MakePixel(Blend(PixelBlue(s), PixelBlue(d), weight), Blend(PixelGreen(s), PixelGreen(d), weight),
                     Blend(PixelRed(s), PixelRed(d), weight), alpha);
}

} // namespace

void TAbstractSuperDIB::DrawUntransformed(TAbstractSuperDIB& dest, int x, int y, int sx, int sy, int w, int h,
                                          const TDrawSettings& settings) const {
    if (!bits_ || !dest.bits_)
        return;
    // A source rectangle starting outside this bitmap starts drawing where the bitmap begins.
    if (sx < 0) {
        x -= sx;
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        y -= sy;
        h += sy;
        sy = 0;
    }
    const TClipRect& clip = dest.clip_;
    if (x < clip.Left) {
        const int d = clip.Left - x;
        sx += d;
        w -= d;
        x = clip.Left;
    }
    if (y < clip.Top) {
        const int d = clip.Top - y;
        sy += d;
        h -= d;
        y = clip.Top;
    }
    if (x + w - 1 > clip.Right)
        w = clip.Right - x + 1;
    if (y + h - 1 > clip.Bottom)
        h = clip.Bottom - y + 1;
    if (sx + w > width_)
        w = width_ - sx;
    if (sy + h > height_)
        h = height_ - sy;
    if (w <= 0 || h <= 0)
        return;
    if (x >= dest.width_ || y >= dest.height_)
        return;
    if (x + w > dest.width_)
        w = dest.width_ - x;
    if (y + h > dest.height_)
        h = dest.height_ - y;

    const TDrawWay way = SelectDrawWay(settings);
    const unsigned o = settings.Opacity;
    const TPixel32 key = ColorToPixel(settings.TransparentColor, 0) & 0xFFFFFF;
    for (int row = 0; row < h; ++row) {
        const TPixel32* s = ScanLine(sy + row) + sx;
        TPixel32* d = dest.ScanLine(y + row) + x;
        switch (way) {
        case TDrawWay::Copy:
            std::copy(s, s + w, d);
            break;
        case TDrawWay::Opacity:
            for (int i = 0; i < w; ++i)
                d[i] = BlendPixel(s[i], d[i], o, std::max(PixelAlpha(d[i]), PixelAlpha(s[i])));
            break;
        case TDrawWay::Mask:
            for (int i = 0; i < w; ++i) {
                const unsigned a = PixelAlpha(s[i]);
                d[i] = BlendPixel(s[i], d[i], a, std::max(PixelAlpha(d[i]), a));
            }
            break;
        case TDrawWay::MaskOpacity:
            for (int i = 0; i < w; ++i) {
                const unsigned sa = PixelAlpha(s[i]);
                d[i] = BlendPixel(s[i], d[i], (sa * o) >> 8, std::max(PixelAlpha(d[i]), sa));
            }
            break;
        case TDrawWay::TransparentColor:
            for (int i = 0; i < w; ++i)
                if ((s[i] & 0xFFFFFF) != key)
                    d[i] = s[i] & 0xFFFFFF;
            break;
        case TDrawWay::TransparentColorOpacity:
            for (int i = 0; i < w; ++i)
                if ((s[i] & 0xFFFFFF) != key)
                    d[i] = BlendPixel(s[i], d[i], o, PixelAlpha(s[i]));
            break;
        }
    }
    dest.Changed();
}

// ---------------------------------------------------------------- rotation and scaling

namespace {

constexpr double kPi = 3.14159265358979323846;

// Sine and cosine of an angle in degrees, exact at the multiples of 90 so quarter turns move whole
// pixels.
void SinCosDegrees(double degrees, double& s, double& c) {
    if (degrees == 0) {
        s = 0, c = 1;
    } else if (degrees == 90) {
        s = 1, c = 0;
    } else if (degrees == 180) {
        s = 0, c = -1;
    } else if (degrees == 270) {
        s = -1, c = 0;
    } else {
        s = std::sin(degrees * kPi / 180);
        c = std::cos(degrees * kPi / 180);
    }
}

bool UsableScale(double percent) {
    return std::isfinite(percent) && percent > 0 && percent <= 100000;
}

// Rounds a non-negative size up, forgiving the last bits of a product that should be whole.
int CeilSize(double v) {
    const double r = std::ceil(v - 1e-9);
    return r > 0 ? static_cast<int>(std::min(r, 65535.0)) : 0;
}

} // namespace

void TAbstractSuperDIB::TransformedSize(int width, int height, const TDrawSettings& st, int& outWidth,
                                        int& outHeight) {
    outWidth = outHeight = 0;
    if (width <= 0 || height <= 0 || !UsableScale(st.ScaleX) || !UsableScale(st.ScaleY))
        return;
    if (!st.AutoSize) {
        outWidth = width;
        outHeight = height;
        return;
    }
    const double sw = width * st.ScaleX / 100, sh = height * st.ScaleY / 100;
    double s, c;
    SinCosDegrees(NormaliseAngle(st.Angle), s, c);
    outWidth = CeilSize(std::abs(sw * c) + std::abs(sh * s));
    outHeight = CeilSize(std::abs(sw * s) + std::abs(sh * c));
}

void TAbstractSuperDIB::RenderTransformed(TAbstractSuperDIB& target, int sx, int sy, int w, int h,
                                          const TDrawSettings& st) const {
    // Restrict the source rectangle to the picture.
    if (sx < 0) {
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        h += sy;
        sy = 0;
    }
    w = std::min(w, width_ - sx);
    h = std::min(h, height_ - sy);
    int tw = 0, th = 0;
    TransformedSize(w, h, st, tw, th);
    // A picture beyond 64 M pixels (an absurd scale) is not rendered at all.
    if (static_cast<std::int64_t>(tw) * th > 64 * 1024 * 1024)
        tw = th = 0;
    target.SetSize(tw, th);
    if (tw == 0 || th == 0 || !bits_)
        return;

    const TPixel32 outside = ColorToPixel(st.TransparentColor, 0);
    target.Fill(outside);
    double s, c;
    SinCosDegrees(NormaliseAngle(st.Angle), s, c);
    const double kx = 100 / st.ScaleX, ky = 100 / st.ScaleY;
    const double tcx = tw / 2.0, tcy = th / 2.0, scx = w / 2.0, scy = h / 2.0;
    const bool nearest = st.Transparent;

    for (int j = 0; j < th; ++j) {
        TPixel32* out = target.ScanLine(j);
        const double ry = j + 0.5 - tcy;
        for (int i = 0; i < tw; ++i) {
            const double rx = i + 0.5 - tcx;
            // Inverse of a counter-clockwise turn on screen (y grows downward), then of the scale.
            const double u = (rx * c - ry * s) * kx + scx;
            const double v = (rx * s + ry * c) * ky + scy;
            if (!(u >= 0 && u < w && v >= 0 && v < h))
                continue;
            if (nearest) {
                out[i] = ScanLine(sy + static_cast<int>(v))[sx + static_cast<int>(u)];
                continue;
            }
            // Bilinear between the four pixel centres around (u, v), clamped to the rectangle.
            const double fu = std::clamp(u - 0.5, 0.0, w - 1.0), fv = std::clamp(v - 0.5, 0.0, h - 1.0);
            const int x0 = static_cast<int>(fu), y0 = static_cast<int>(fv);
            const int x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
            const double ax = fu - x0, ay = fv - y0;
            const TPixel32 p00 = ScanLine(sy + y0)[sx + x0], p10 = ScanLine(sy + y0)[sx + x1];
            const TPixel32 p01 = ScanLine(sy + y1)[sx + x0], p11 = ScanLine(sy + y1)[sx + x1];
            TPixel32 result = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const double top = ((p00 >> shift) & 0xFF) * (1 - ax) + ((p10 >> shift) & 0xFF) * ax;
                const double bottom = ((p01 >> shift) & 0xFF) * (1 - ax) + ((p11 >> shift) & 0xFF) * ax;
                const double value = top * (1 - ay) + bottom * ay;
                result |= static_cast<TPixel32>(std::clamp(static_cast<int>(value + 0.5), 0, 255)) << shift;
            }
            out[i] = result;
        }
    }
}

} // namespace skin
