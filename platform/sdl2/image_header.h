// A look at an image file's header before any pixel is decoded, so a broken or
// hostile file is refused with a reason and never makes us allocate for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dxsdl {

// Larger images are refused: one side of 8192 is far beyond any screen the
// library draws on, and 8192 x 8192 x 4 bytes is already 256 MiB.
inline constexpr int64_t kMaxImageSide = 8192;

enum class ImageKind { Bmp, Png };

struct ImageHeader {
    ImageKind kind = ImageKind::Bmp;
    int64_t width = 0;
    int64_t height = 0;  // rows, whichever way up the file stores them
};

// Reads the kind and size from the first bytes of a file of `size` bytes, all
// of which are in `data`. False with a reason for an empty or truncated file,
// one that is neither BMP nor PNG, or an image with no pixels or too many.
bool InspectImageHeader(const uint8_t* data, size_t size, ImageHeader* header, std::string* reason);

}  // namespace dxsdl
