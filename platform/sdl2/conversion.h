// Conversion: decoded pixels made into an image for the back buffer, in its
// pixel format, with the runs of opaque pixels the blits draw.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "image.h"

namespace dxsdl {

// Whether a decoded surface has transparency of its own (an alpha channel, a
// colour key, a palette entry that is not opaque).
bool HasOwnTransparency(SDL_Surface* decoded);

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
