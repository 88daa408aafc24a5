// Conversion: decoded pixels made into an image for the back buffer, in its
// pixel format, with the runs of opaque pixels the blits draw.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "screen.h"

namespace dxsdl {

// Bytes a pixel of an image for a back buffer of this SDL pixel format.
size_t TargetBytesPerPixel(uint32_t targetFormat);

// Whether a decoded surface has transparency of its own (an alpha channel, a
// colour key, a palette entry that is not opaque).
bool HasOwnTransparency(SDL_Surface* decoded);

// Decoded rows, ARGB8888 top row first, made into an image for the back
// buffer: its pixels in the target format, written into storage made ready
// for them, and the runs of opaque pixels of each row. A pixel is see-through
// when its colour is exactly black or, with `ownTransparency`, when it is
// less than half opaque.
class ImageBuilder {
  public:
    ImageBuilder(int32_t width, int32_t height, uint32_t targetFormat, bool ownTransparency,
                 PixelBytes storage);

    // The next row. It may lie in the storage itself, as long as it starts no
    // earlier than its converted row does: each pixel is read before anything
    // is written over it.
    void AddRow(const uint8_t* argb);

    // The image, its storage cut to its pixels.
    Image Finish();

  private:
    void AddRun(int32_t start, int32_t end);

    Image made_;
    uint8_t* out_ = nullptr;
    uint32_t targetFormat_;
    bool ownTransparency_;
};

// Hands `count` rows of `decoded` from `first` on to the builder, converted
// to ARGB8888 by SDL. False with a reason when SDL cannot convert them.
bool AddSurfaceRows(SDL_Surface* decoded, int32_t first, int32_t count, ImageBuilder& builder,
                    std::string* reason);

// Makes an image for a back buffer of this SDL pixel format (RGB565 or RGB888)
// from a decoded surface of any format. A pixel is transparent when its colour
// in the file is exactly black, or, in an image with transparency of its own,
// when it is less than half opaque (such pixels are drawn black without the
// transparency flag). False with a reason when SDL cannot convert the surface.
bool MakeImage(SDL_Surface* decoded, uint32_t targetFormat, Image* image, std::string* reason);

}  // namespace dxsdl
