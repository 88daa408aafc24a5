// From a decoded surface to an Image: one pass over the file's colours gives
// both the back buffer pixels and the opaque runs.
#include <algorithm>
#include <cstring>

#include "image.h"

namespace dxsdl {
namespace {

// Colour reduction as SDL does it for these formats (dropping the low bits),
// so an image drawn by us and one blitted by SDL look the same.
uint32_t ToTarget(uint32_t argb, uint32_t targetFormat) {
    const uint32_t r = (argb >> 16) & 0xFF;
    const uint32_t g = (argb >> 8) & 0xFF;
    const uint32_t b = argb & 0xFF;
    if (targetFormat == SDL_PIXELFORMAT_RGB565) {
        return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    }
    return (r << 16) | (g << 8) | b;
}

// Surfaces with a colour key of their own (paletted PNGs with a transparent
// entry) come out of the ARGB conversion with that key as alpha 0.
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

}  // namespace

bool MakeImage(SDL_Surface* decoded, uint32_t targetFormat, Image* image, std::string* reason) {
    const bool ownTransparency = HasOwnTransparency(decoded);
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    if (argb == nullptr) {
        *reason = std::string("cannot convert its pixels: ") + SDL_GetError();
        return false;
    }
    const int32_t bytesPerPixel = targetFormat == SDL_PIXELFORMAT_RGB565 ? 2 : 4;
    Image made;
    made.width = argb->w;
    made.height = argb->h;
    made.bytesPerPixel = bytesPerPixel;
    made.pixels.resize(static_cast<size_t>(argb->w) * static_cast<size_t>(argb->h) *
                       static_cast<size_t>(bytesPerPixel));
    made.rowSpans.reserve(static_cast<size_t>(argb->h) + 1);

    uint8_t* out = made.pixels.data();
    for (int32_t y = 0; y < argb->h; ++y) {
        made.rowSpans.push_back(static_cast<uint32_t>(made.spans.size()));
        const auto* row = reinterpret_cast<const uint8_t*>(argb->pixels) +
                          static_cast<size_t>(y) * static_cast<size_t>(argb->pitch);
        int32_t runStart = -1;
        for (int32_t x = 0; x < argb->w; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, row + static_cast<size_t>(x) * 4, sizeof pixel);
            const bool seeThrough =
                (pixel & 0x00FFFFFFu) == 0 || (ownTransparency && (pixel >> 24) < 0x80);
            // A dark colour that reduces to 0 stays opaque: the decision was
            // made from the file's colour above, never from the reduced value.
            const uint32_t value = seeThrough ? 0 : ToTarget(pixel, targetFormat);
            if (bytesPerPixel == 2) {
                const auto value16 = static_cast<uint16_t>(value);
                std::memcpy(out, &value16, 2);
            } else {
                std::memcpy(out, &value, 4);
            }
            out += bytesPerPixel;
            if (!seeThrough && runStart < 0) {
                runStart = x;
            } else if (seeThrough && runStart >= 0) {
                made.spans.push_back(OpaqueSpan{runStart, x - runStart});
                runStart = -1;
            }
        }
        if (runStart >= 0) {
            made.spans.push_back(OpaqueSpan{runStart, argb->w - runStart});
        }
    }
    made.rowSpans.push_back(static_cast<uint32_t>(made.spans.size()));
    made.opaque = made.spans.size() == static_cast<size_t>(made.height) &&
                  std::all_of(made.spans.begin(), made.spans.end(), [&](const OpaqueSpan& span) {
                      return span.start == 0 && span.length == made.width;
                  });
    SDL_FreeSurface(argb);
    *image = std::move(made);
    return true;
}

}  // namespace dxsdl
