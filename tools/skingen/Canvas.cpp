#include "tools/skingen/Canvas.h"

#include "skin/text/TextRenderer.h"

#include <algorithm>
#include <numbers>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

namespace skingen {

Color Mix(Color a, Color b, float t) {
    return Color{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Color WithAlpha(Color c, float alpha) {
    c.a = alpha;
    return c;
}

float SdCircle(Vec p, Vec c, float r) {
    return std::hypot(p.x - c.x, p.y - c.y) - r;
}

float SdRoundRect(Vec p, float left, float top, float right, float bottom, float radius) {
    const float cx = (left + right) * 0.5f, cy = (top + bottom) * 0.5f;
    const float hx = (right - left) * 0.5f - radius, hy = (bottom - top) * 0.5f - radius;
    const float qx = std::abs(p.x - cx) - hx, qy = std::abs(p.y - cy) - hy;
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

float SdSegment(Vec p, Vec a, Vec b, float halfWidth) {
    const float bx = b.x - a.x, by = b.y - a.y, px = p.x - a.x, py = p.y - a.y;
    const float len2 = bx * bx + by * by;
    const float h = len2 > 0 ? std::clamp((px * bx + py * by) / len2, 0.0f, 1.0f) : 0.0f;
    return std::hypot(px - bx * h, py - by * h) - halfWidth;
}

Vec Polar(Vec c, float r, float degrees) {
    const float rad = degrees * std::numbers::pi_v<float> / 180.0f;
    return Vec{c.x + r * std::sin(rad), c.y - r * std::cos(rad)};
}

float SdArc(Vec p, Vec c, float r, float hw, float a0, float a1) {
    float angle = std::atan2(p.x - c.x, -(p.y - c.y)) * 180.0f / std::numbers::pi_v<float>;
    // Bring the angle into the arc's frame: a0 <= a0 + k*360.
    while (angle < a0)
        angle += 360.0f;
    while (angle >= a0 + 360.0f)
        angle -= 360.0f;
    if (angle <= a1)
        return std::abs(std::hypot(p.x - c.x, p.y - c.y) - r) - hw;
    const Vec e0 = Polar(c, r, a0), e1 = Polar(c, r, a1);
    return std::min(std::hypot(p.x - e0.x, p.y - e0.y), std::hypot(p.x - e1.x, p.y - e1.y)) - hw;
}

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), px_(static_cast<std::size_t>(width) * height * 4, 0.0f),
      clipRight_(width), clipBottom_(height) {}

void Canvas::SetClip(int left, int top, int right, int bottom) {
    clipLeft_ = std::max(0, left);
    clipTop_ = std::max(0, top);
    clipRight_ = std::min(width_, right);
    clipBottom_ = std::min(height_, bottom);
}

void Canvas::Blend(int x, int y, Color c, float coverage) {
    if (x < clipLeft_ || y < clipTop_ || x >= clipRight_ || y >= clipBottom_)
        return;
    float* d = &px_[(static_cast<std::size_t>(y) * width_ + x) * 4];
    const float a = std::clamp(c.a * coverage, 0.0f, 1.0f);
    d[0] = c.r * a + d[0] * (1 - a);
    d[1] = c.g * a + d[1] * (1 - a);
    d[2] = c.b * a + d[2] * (1 - a);
    d[3] = a + d[3] * (1 - a);
}

void Canvas::Set(int x, int y, Color c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    float* d = &px_[(static_cast<std::size_t>(y) * width_ + x) * 4];
    d[0] = c.r * c.a;
    d[1] = c.g * c.a;
    d[2] = c.b * c.a;
    d[3] = c.a;
}

Color Canvas::Get(int x, int y) const {
    const float* d = &px_[(static_cast<std::size_t>(y) * width_ + x) * 4];
    if (d[3] <= 0)
        return Color{0, 0, 0, 0};
    return Color{d[0] / d[3], d[1] / d[3], d[2] / d[3], d[3]};
}

void Canvas::Clear(Color c) {
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            Set(x, y, c);
}

void Canvas::CopyFrom(const Canvas& src, int sx, int sy, int w, int h, int x, int y) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
            if (sx + i >= 0 && sy + j >= 0 && sx + i < src.width_ && sy + j < src.height_)
                Set(x + i, y + j, src.Get(sx + i, sy + j));
}

void Canvas::Draw(const Canvas& src, int x, int y) {
    for (int j = 0; j < src.height_; ++j)
        for (int i = 0; i < src.width_; ++i) {
            const Color c = src.Get(i, j);
            if (c.a > 0)
                Blend(x + i, y + j, Color{c.r, c.g, c.b, 1.0f}, c.a);
        }
}

void Canvas::Text(const skin::text::Font& font, int x, int y, std::string_view text, Color c, int spacing) {
    int pen = x;
    for (char ch : text) {
        const char one[1] = {ch};
        skin::text::ForEachCoverage(
            font, pen, y, std::string_view(one, 1),
            [&](int px, int py, std::uint8_t cov) { Blend(px, py, c, cov / 255.0f); });
        pen += font.GlyphOf(ch).advance + spacing;
    }
}

int Canvas::TextWidth(const skin::text::Font& font, std::string_view text, int spacing) {
    const int n = static_cast<int>(text.size());
    return skin::text::TextWidth(font, text) + (n > 1 ? (n - 1) * spacing : 0);
}

void Canvas::TextCentered(const skin::text::Font& font, float cx, int y, std::string_view text, Color c,
                          int spacing) {
    const int w = TextWidth(font, text, spacing);
    Text(font, static_cast<int>(std::lround(cx - w * 0.5f)), y, text, c, spacing);
}

bool Canvas::SavePng(const std::string& path) const {
    std::vector<unsigned char> out(static_cast<std::size_t>(width_) * height_ * 4);
    for (std::size_t i = 0; i < out.size(); i += 4) {
        const float a = std::clamp(px_[i + 3], 0.0f, 1.0f);
        for (int k = 0; k < 3; ++k) {
            const float straight = a > 0 ? px_[i + k] / a : 0.0f;
            out[i + k] = static_cast<unsigned char>(std::lround(std::clamp(straight, 0.0f, 1.0f) * 255.0f));
        }
        out[i + 3] = static_cast<unsigned char>(std::lround(a * 255.0f));
        if (out[i + 3] == 0)
            out[i] = out[i + 1] = out[i + 2] = 0;
    }
    return stbi_write_png(path.c_str(), width_, height_, 4, out.data(), width_ * 4) != 0;
}

} // namespace skingen
