#pragma once
// Decodes PNG bytes into 32-bit BGRA pixels with bottom-up rows, the kit's pixel model.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace skin::images {

struct DecodedPng {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels; // BGRA, straight (not premultiplied) alpha, bottom-up rows
};

// Empty for anything that is not a readable PNG; never throws for bad input.
std::optional<DecodedPng> DecodePng(std::span<const std::uint8_t> png);

} // namespace skin::images
