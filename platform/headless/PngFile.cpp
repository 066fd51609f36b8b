#include "platform/headless/PngFile.h"

#define STBIW_WINDOWS_UTF8
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>

#include <cstdint>
#include <vector>

namespace platform::headless {

bool SavePng(const PixelPicture& picture, const std::string& path) {
    if (picture.bits == nullptr || picture.width <= 0 || picture.height <= 0)
        return false;
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(picture.width) * picture.height * 3);
    std::uint8_t* out = rgb.data();
    for (int y = 0; y < picture.height; ++y) {
        const std::uint32_t* row = picture.Row(y);
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t p = row[x];
            *out++ = static_cast<std::uint8_t>(p >> 16); // red
            *out++ = static_cast<std::uint8_t>(p >> 8);  // green
            *out++ = static_cast<std::uint8_t>(p);       // blue
        }
    }
    return stbi_write_png(path.c_str(), picture.width, picture.height, 3, rgb.data(), picture.width * 3) != 0;
}

} // namespace platform::headless
