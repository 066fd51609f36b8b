#include "skin/images/PngDecoder.h"

#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_FAILURE_STRINGS
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#include <stb_image.h>

#include <climits>
#include <cstring>
#include <memory>

namespace skin::images {

std::optional<DecodedPng> DecodePng(std::span<const std::uint8_t> png) {
    if (png.empty() || png.size() > static_cast<std::size_t>(INT_MAX))
        return std::nullopt;
    int w = 0, h = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
        stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &w, &h, &channels, 4),
        stbi_image_free);
    // The skin never needs more than a few thousand pixels a side; refuse absurd sizes early.
    if (!rgba || w <= 0 || h <= 0 || w > 16384 || h > 16384)
        return std::nullopt;
    DecodedPng out;
    out.width = w;
    out.height = h;
    out.pixels.resize(static_cast<std::size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y) {
        const stbi_uc* src = rgba.get() + static_cast<std::size_t>(y) * w * 4;
        std::uint8_t* dst = out.pixels.data() + static_cast<std::size_t>(h - 1 - y) * w * 4;
        for (int x = 0; x < w; ++x) {
            dst[4 * x + 0] = src[4 * x + 2];
            dst[4 * x + 1] = src[4 * x + 1];
            dst[4 * x + 2] = src[4 * x + 0];
            dst[4 * x + 3] = src[4 * x + 3];
        }
    }
    return out;
}

} // namespace skin::images
