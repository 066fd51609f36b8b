#pragma once
// A floating-point RGBA picture for drawing the skin: anti-aliased shapes given as signed distance
// functions (negative inside, in pixels), filled with a paint that may vary over the picture, and
// composited with premultiplied "over". Text comes from the editor's own text renderer.
#include "skin/text/Font.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

namespace skingen {

struct Color {
    float r = 0, g = 0, b = 0, a = 1; // straight alpha, 0..1
};

constexpr Color Hex(unsigned rgb, float alpha = 1.0f) {
    return Color{((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f, alpha};
}
Color Mix(Color a, Color b, float t);
Color WithAlpha(Color c, float alpha);

struct Vec {
    float x = 0, y = 0;
};

// Signed distances (pixels; negative inside) of the basic shapes.
float SdCircle(Vec p, Vec c, float r);
float SdRoundRect(Vec p, float left, float top, float right, float bottom, float radius);
float SdSegment(Vec p, Vec a, Vec b, float halfWidth);
// Arc of radius r and half width hw around c from angle a0 to a1 (degrees, clockwise from 12 o'clock),
// with round caps.
float SdArc(Vec p, Vec c, float r, float hw, float a0, float a1);
Vec Polar(Vec c, float r, float degrees);

class Canvas {
public:
    Canvas(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }

    // Composites paint(x, y) over every pixel inside the shape within the box; edges are anti-aliased
    // over one pixel, or blurred over `softness` pixels for shadows and glows.
    template <class Sd, class Paint>
    void Fill(float left, float top, float right, float bottom, Sd&& sd, Paint&& paint,
              float softness = 1.0f) {
        const int x0 = std::max(0, static_cast<int>(std::floor(left - softness)));
        const int y0 = std::max(0, static_cast<int>(std::floor(top - softness)));
        const int x1 = std::min(width_ - 1, static_cast<int>(std::ceil(right + softness)));
        const int y1 = std::min(height_ - 1, static_cast<int>(std::ceil(bottom + softness)));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const Vec p{x + 0.5f, y + 0.5f};
                const float d = sd(p);
                float cov;
                if (softness <= 1.0f) {
                    cov = std::clamp(0.5f - d, 0.0f, 1.0f);
                } else {
                    const float t = std::clamp(0.5f - d / softness, 0.0f, 1.0f);
                    cov = t * t * (3 - 2 * t);
                }
                if (cov > 0)
                    Blend(x, y, paint(p), cov);
            }
    }
    template <class Sd>
    void Fill(float l, float t, float r, float b, Sd&& sd, Color c, float softness = 1.0f) {
        Fill(
            l, t, r, b, sd, [c](Vec) { return c; }, softness);
    }

    void Blend(int x, int y, Color c, float coverage);
    // Limits all drawing to the rectangle [left, right) x [top, bottom), e.g. one frame of a strip.
    void SetClip(int left, int top, int right, int bottom);
    void ResetClip() { SetClip(0, 0, width_, height_); }
    // Replaces a pixel, alpha included.
    void Set(int x, int y, Color c);
    Color Get(int x, int y) const;
    void Clear(Color c);
    // Copies a rectangle of another canvas onto this one at (x, y), replacing the pixels.
    void CopyFrom(const Canvas& src, int sx, int sy, int w, int h, int x, int y);
    // Composites another canvas over this one at (x, y).
    void Draw(const Canvas& src, int x, int y);

    // Text with its cell's top-left corner at (x, y); `spacing` adds pixels between characters.
    void Text(const skin::text::Font& font, int x, int y, std::string_view text, Color c, int spacing = 0);
    static int TextWidth(const skin::text::Font& font, std::string_view text, int spacing = 0);
    void TextCentered(const skin::text::Font& font, float cx, int y, std::string_view text, Color c,
                      int spacing = 0);

    // Writes straight-alpha 8-bit RGBA. False on failure.
    bool SavePng(const std::string& path) const;

private:
    int width_;
    int height_;
    std::vector<float> px_; // premultiplied RGBA
    int clipLeft_ = 0, clipTop_ = 0, clipRight_ = 0, clipBottom_ = 0;
};

} // namespace skingen
