#pragma once

#include "platform/EditorWindow.h"

#include <string>

namespace platform::headless {

// Writes the picture (BGRA, bottom-up) as an 8-bit RGB PNG file, alpha dropped: what a screen shows.
// False when the picture is empty or the file cannot be written.
bool SavePng(const PixelPicture& picture, const std::string& path);

} // namespace platform::headless
