#include "png_file.h"

#include <cstdio>

#ifdef ARTGEN_HAVE_PNG
#include <png.h>
#endif

namespace artgen {

std::vector<uint8_t> EncodePng(const Image& image, int scale) {
    const int width = image.width() * scale;
    const int height = image.height() * scale;
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    size_t at = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = image.At(x / scale, y / scale);
            const bool opaque = !(c == kTransparent);
            rgba[at++] = c.r;
            rgba[at++] = c.g;
            rgba[at++] = c.b;
            rgba[at++] = opaque ? 255 : 0;
        }
    }

#ifdef ARTGEN_HAVE_PNG
    png_image description{};
    description.version = PNG_IMAGE_VERSION;
    description.width = static_cast<png_uint_32>(width);
    description.height = static_cast<png_uint_32>(height);
    description.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    // The first call measures, the second writes.
    if (png_image_write_to_memory(&description, nullptr, &size, 0, rgba.data(), 0, nullptr) == 0) {
        return {};
    }
    std::vector<uint8_t> out(size);
    if (png_image_write_to_memory(&description, out.data(), &size, 0, rgba.data(), 0, nullptr) ==
        0) {
        return {};
    }
    out.resize(size);
    return out;
#else
    return {};
#endif
}

bool WritePng(const std::filesystem::path& path, const Image& image, int scale,
              std::string* error) {
    const std::vector<uint8_t> bytes = EncodePng(image, scale);
    std::FILE* file = bytes.empty() ? nullptr : std::fopen(path.string().c_str(), "wb");
    bool written =
        file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file != nullptr && std::fclose(file) != 0) {
        written = false;
    }
    if (!written && error != nullptr) {
#ifdef ARTGEN_HAVE_PNG
        *error = (bytes.empty() ? "cannot encode " : "cannot write ") + path.string();
#else
        *error = "cannot encode " + path.string() + " (artgen was built without libpng)";
#endif
    }
    return written;
}

}  // namespace artgen
