#pragma once
// The editor's skin: the 19 pictures of its image list, compiled in as PNG and decoded on request into
// the kit's pixel model (32-bit blue, green, red, alpha; rows bottom-up, 4 x width bytes each).
//
// Each picture is a horizontal strip of `frames` equal frames. Masked pictures carry their coverage
// in the alpha byte; the two unmasked ones (copy, paste) are fully opaque.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace skin::images {

struct ImageInfo {
    std::string_view name;
    int width;
    int height;
    int frames;
    bool masked;

    int FrameWidth() const { return width / frames; }
};

// In image-list order: the index of an entry is the index the editor's controls refer to.
inline constexpr std::array<ImageInfo, 19> kImageList{{
    {"Background", 780, 304, 1, true}, {"Knob65", 3120, 48, 65, true}, {"Knob64", 4160, 39, 64, true},
    {"Copy", 36, 15, 2, false},        {"Paste", 36, 15, 2, false},    {"OnOff", 54, 25, 2, true},
    {"FilterLP", 54, 16, 2, true},     {"FilterBP", 54, 16, 2, true},  {"FilterHP", 54, 16, 2, true},
    {"Digit1", 46, 16, 2, true},       {"Digit2", 46, 16, 2, true},    {"Digit3", 46, 16, 2, true},
    {"Digit4", 46, 16, 2, true},       {"Digit5", 46, 16, 2, true},    {"Digit6", 46, 16, 2, true},
    {"Digit7", 46, 16, 2, true},       {"Digit8", 46, 16, 2, true},    {"LfoLight", 23, 16, 1, true},
    {"About", 780, 304, 1, true},
}};

struct Image {
    int width = 0;
    int height = 0;
    int frames = 1;
    bool masked = true;
    std::vector<std::uint8_t> pixels; // BGRA, bottom-up

    // Pixel (x, y), y counted from the top of the picture.
    const std::uint8_t* At(int x, int y) const {
        return pixels.data() + (static_cast<std::size_t>(height - 1 - y) * width + x) * 4;
    }
};

// Index of the named picture in the image list, or -1.
int IndexOf(std::string_view name);

// The compiled-in PNG bytes of a picture (empty for an unknown index).
std::span<const std::uint8_t> EncodedPng(int index);

// Decodes a picture; empty for an unknown name or index, or if the stored picture does not have the
// size the image list gives.
std::optional<Image> Load(int index);
std::optional<Image> Find(std::string_view name);

} // namespace skin::images
