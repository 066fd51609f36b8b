#include "platform/x11/PixelLayout.h"

#include <bit>
#include <cstring>

namespace platform::x11 {

namespace {

// An 8-bit channel scaled into a mask: its top bits when the mask is narrower (5 or 6 bits on a
// 16-bit visual), repeated bits when it is wider.
std::uint32_t Channel(std::uint32_t value8, std::uint32_t mask) {
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const int bits = std::popcount(mask);
    std::uint32_t v;
    if (bits <= 8) {
        v = value8 >> (8 - bits);
    } else {
        v = 0;
        for (int have = 0; have < bits; have += 8)
            v = (v << 8) | value8;
        v >>= (bits + 7) / 8 * 8 - bits;
    }
    return (v << shift) & mask;
}

} // namespace

std::uint32_t PixelLayout::AlphaMask() const {
    const std::uint32_t depthMask = depth >= 32 ? 0xFFFFFFFFu : ((1u << depth) - 1u);
    return depthMask & ~(redMask | greenMask | blueMask);
}

bool PixelLayout::Supported() const {
    return (bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32) && redMask != 0 &&
           greenMask != 0 && blueMask != 0;
}

std::uint32_t PixelValue(std::uint32_t bgra, const PixelLayout& layout) {
    if (layout.Direct())
        return (bgra & 0x00FFFFFFu) | layout.AlphaMask();
    const std::uint32_t b = bgra & 0xFF;
    const std::uint32_t g = (bgra >> 8) & 0xFF;
    const std::uint32_t r = (bgra >> 16) & 0xFF;
    return Channel(r, layout.redMask) | Channel(g, layout.greenMask) | Channel(b, layout.blueMask) |
           layout.AlphaMask();
}

void ConvertRow(const std::uint32_t* source, int count, const PixelLayout& layout, std::uint8_t* target) {
    if (layout.Direct()) {
        const std::uint32_t alpha = layout.AlphaMask();
        for (int i = 0; i < count; ++i) {
            const std::uint32_t v = (source[i] & 0x00FFFFFFu) | alpha;
            target[0] = static_cast<std::uint8_t>(v);
            target[1] = static_cast<std::uint8_t>(v >> 8);
            target[2] = static_cast<std::uint8_t>(v >> 16);
            target[3] = static_cast<std::uint8_t>(v >> 24);
            target += 4;
        }
        return;
    }
    const int bytes = layout.BytesPerPixel();
    for (int i = 0; i < count; ++i) {
        const std::uint32_t v = PixelValue(source[i], layout);
        for (int k = 0; k < bytes; ++k)
            target[k] = static_cast<std::uint8_t>(v >> (8 * k));
        target += bytes;
    }
}

} // namespace platform::x11
