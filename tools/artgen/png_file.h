// A picture as a PNG file: 8-bit RGBA, the transparent colour written as
// fully transparent, every other colour opaque. Used for the desktop icon,
// where desktops expect PNG with an alpha channel rather than a bitmap with a
// key colour. Written through libpng.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image.h"

namespace artgen {

// The complete file. The picture is enlarged `scale` times by repeating each
// pixel (no smoothing, so pixel art stays sharp); scale is 1 or more.
std::vector<uint8_t> EncodePng(const Image& image, int scale);

// Writes the encoded picture; false with a reason when the file cannot be written.
bool WritePng(const std::filesystem::path& path, const Image& image, int scale, std::string* error);

}  // namespace artgen
