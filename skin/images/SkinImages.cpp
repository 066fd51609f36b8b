#include "skin/images/SkinImages.h"

#include "skin/images/PngDecoder.h"

#include <cstddef>

// Generated at build time from the PNG files beside this source (EmbedPng.cmake).
// clang-format off
#define VORELAN_SKIN_IMAGES(X)                                                                   \
    X(Background) X(Knob65) X(Knob64) X(Copy) X(Paste) X(OnOff) X(FilterLP) X(FilterBP)          \
    X(FilterHP) X(Digit1) X(Digit2) X(Digit3) X(Digit4) X(Digit5) X(Digit6) X(Digit7) X(Digit8) \
    X(LfoLight) X(About)
// clang-format on

namespace skin::images::data {
#define VORELAN_DECLARE(name)                                                                                \
    extern const std::uint8_t k##name[];                                                                     \
    extern const std::size_t k##name##Size;
VORELAN_SKIN_IMAGES(VORELAN_DECLARE)
#undef VORELAN_DECLARE
} // namespace skin::images::data

namespace skin::images {
namespace {

#define VORELAN_ENTRY(name) std::span<const std::uint8_t>(data::k##name, data::k##name##Size),
const std::span<const std::uint8_t> kEncoded[] = {VORELAN_SKIN_IMAGES(VORELAN_ENTRY)};
#undef VORELAN_ENTRY
static_assert(std::size(kEncoded) == kImageList.size());

} // namespace

int IndexOf(std::string_view name) {
    for (std::size_t i = 0; i < kImageList.size(); ++i)
        if (kImageList[i].name == name)
            return static_cast<int>(i);
    return -1;
}

std::span<const std::uint8_t> EncodedPng(int index) {
    if (index < 0 || index >= static_cast<int>(kImageList.size()))
        return {};
    return kEncoded[index];
}

std::optional<Image> Load(int index) {
    const auto png = EncodedPng(index);
    if (png.empty())
        return std::nullopt;
    auto decoded = DecodePng(png);
    const ImageInfo& info = kImageList[static_cast<std::size_t>(index)];
    if (!decoded || decoded->width != info.width || decoded->height != info.height)
        return std::nullopt;
    Image image;
    image.width = info.width;
    image.height = info.height;
    image.frames = info.frames;
    image.masked = info.masked;
    image.pixels = std::move(decoded->pixels);
    return image;
}

std::optional<Image> Find(std::string_view name) {
    return Load(IndexOf(name));
}

} // namespace skin::images
