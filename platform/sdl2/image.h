// A loaded image, kept ready to copy into the back buffer: pixels already in
// the back buffer's format, and for drawing with transparency, the runs of
// opaque pixels of every row, found once from the file's own colours.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "back_buffer.h"

namespace dxsdl {

// Columns start..start+length-1 of a row are opaque.
struct OpaqueSpan {
    int32_t start;
    int32_t length;
};

struct Image {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bytesPerPixel = 0;
    std::vector<uint8_t> pixels;     // height rows of width * bytesPerPixel bytes
    std::vector<OpaqueSpan> spans;   // the opaque runs of all rows, top row first
    std::vector<uint32_t> rowSpans;  // row y's runs: spans[rowSpans[y] .. rowSpans[y + 1])
    bool opaque = false;             // no transparent pixel at all
};

// Makes an image for a back buffer of this SDL pixel format (RGB565 or RGB888)
// from a decoded surface of any format. A pixel is transparent when its colour
// in the file is exactly black, or, in an image with transparency of its own,
// when it is less than half opaque (such pixels are drawn black without the
// transparency flag). False with a reason when SDL cannot convert the surface.
bool MakeImage(SDL_Surface* decoded, uint32_t targetFormat, Image* image, std::string* reason);

// Copies the image with its top-left corner at (x, y), clipped to `clip` and
// to the target; with `transparent`, only its opaque runs. The target must be
// a back buffer of the format the image was made for.
void DrawImage(const Image& image, SDL_Surface* target, const ClipRect& clip, int32_t x, int32_t y,
               bool transparent);

}  // namespace dxsdl
