// Decoding image files held in memory: a look at the header first, so that a
// broken or hostile file is refused before anything is allocated for it, then
// the decoders (BMP by SDL, PNG by libpng).
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace dxsdl {

// Larger images are refused: one side of 8192 is far beyond any screen the
// library draws on, and 8192 x 8192 x 4 bytes is already 256 MiB.
inline constexpr int64_t kMaxImageSide = 8192;

// No image we accept needs a larger file: 8192 x 8192 at 32 bits is 256 MiB.
inline constexpr uint64_t kMaxImageFileBytes = uint64_t{300} * 1024 * 1024;

// The first bytes of a file say all InspectImageHeader needs.
inline constexpr size_t kImageHeaderBytes = 64;

enum class ImageKind { Bmp, Png };

struct ImageHeader {
    ImageKind kind = ImageKind::Bmp;
    int64_t width = 0;
    int64_t height = 0;  // rows, whichever way up the file stores them
};

// The kind and size of the image in a file of `fileSize` bytes whose first
// `available` bytes are at `data` (kImageHeaderBytes are enough). False with
// a reason for an empty or truncated file, one that is neither BMP nor PNG,
// or an image with no pixels or too many. Asked before a file is read whole.
bool InspectImageHeader(const uint8_t* data, size_t available, uint64_t fileSize,
                        ImageHeader* header, std::string* reason);

// Decodes a whole image file of `size` bytes at `data` whose header has been
// inspected already. Null with a reason on failure; otherwise the caller
// frees the surface. Needs no video: SDL need not even be started.
SDL_Surface* DecodeInspectedImage(const uint8_t* data, size_t size, const ImageHeader& header,
                                  std::string* reason);

// Both steps at once, for a file held in memory whole.
SDL_Surface* DecodeImageBytes(const uint8_t* data, size_t size, std::string* reason);

}  // namespace dxsdl
