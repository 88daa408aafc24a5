// Conversion: decoded pixels made into an image for the back buffer.
#include "conversion.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>

#include "decoding.h"

namespace dxsdl {

namespace {

// Rows first..first+count-1 of `decoded` as a new ARGB8888 surface: a view of
// those rows with the source's palette and colour key, converted by SDL. A few
// rows at a time keep the conversion's memory small beside the image itself.
SDL_Surface* ConvertRows(SDL_Surface* decoded, int first, int count) {
    if (first == 0 && count == decoded->h) {
        return SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    }
    auto* rows = static_cast<uint8_t*>(decoded->pixels) +
                 static_cast<size_t>(first) * static_cast<size_t>(decoded->pitch);
    SDL_Surface* view =
        SDL_CreateRGBSurfaceWithFormatFrom(rows, decoded->w, count, decoded->format->BitsPerPixel,
                                           decoded->pitch, decoded->format->format);
    if (view == nullptr) {
        return nullptr;
    }
    if (decoded->format->palette != nullptr) {
        SDL_SetSurfacePalette(view, decoded->format->palette);
    }
    Uint32 key = 0;
    if (SDL_GetColorKey(decoded, &key) == 0) {
        SDL_SetColorKey(view, SDL_TRUE, key);
    }
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(view, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(view);
    return argb;
}

}  // namespace

// Our decoders give ARGB surfaces; SDL's BMP reader gives paletted ones for
// BMPs of 8 bits and fewer. A colour key or a palette entry that is not
// opaque, should a surface have one, comes out of the ARGB conversion as
// alpha 0, and counts as transparency of its own.
bool HasOwnTransparency(SDL_Surface* decoded) {
    return SDL_ISPIXELFORMAT_ALPHA(decoded->format->format) || SDL_HasColorKey(decoded) ||
           (decoded->format->palette != nullptr && [&] {
               for (int i = 0; i < decoded->format->palette->ncolors; ++i) {
                   if (decoded->format->palette->colors[i].a != SDL_ALPHA_OPAQUE) {
                       return true;
                   }
               }
               return false;
           }());
}

bool AddSurfaceRows(SDL_Surface* decoded, int32_t first, int32_t count, ImageBuilder& builder,
                    std::string* reason) {
    // Freed however this ends, running out of memory included.
    const std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)> argb(
        ConvertRows(decoded, first, count), SDL_FreeSurface);
    if (!argb) {
        ThrowIfSdlOutOfMemory();
        *reason = std::string("cannot convert its pixels: ") + SDL_GetError();
        return false;
    }
    for (int32_t row = 0; row < count; ++row) {
        builder.AddRow(static_cast<const uint8_t*>(argb->pixels) +
                       static_cast<size_t>(row) * static_cast<size_t>(argb->pitch));
    }
    return true;
}

bool MakeImage(SDL_Surface* decoded, uint32_t targetFormat, Image* image, std::string* reason) {
    const size_t bytes = static_cast<size_t>(decoded->w) * static_cast<size_t>(decoded->h) *
                         TargetBytesPerPixel(targetFormat);
    ImageBuilder builder(decoded->w, decoded->h, targetFormat, HasOwnTransparency(decoded),
                         PixelBytes(bytes));
    for (int32_t first = 0; first < decoded->h; first += kRowsPerStep) {
        if (!AddSurfaceRows(decoded, first, std::min(kRowsPerStep, decoded->h - first), builder,
                            reason)) {
            return false;
        }
    }
    *image = builder.Finish();
    return true;
}

}  // namespace dxsdl
