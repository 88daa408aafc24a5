#include "image.h"

#include <fstream>
#include <stdexcept>

#include "bmp_writer.h"

namespace artgen {

Image::Image(int width, int height) : width_(width), height_(height) {
    if (width <= 0 || height <= 0) {
        throw std::invalid_argument("an image needs a positive width and height");
    }
    pixels_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), kTransparent);
}

Rgb Image::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return kTransparent;
    }
    return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

void Image::Set(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] =
        Visible(c);
}

void Image::Clear(int x, int y) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] =
        kTransparent;
}

Image Image::Rows(int top, int height) const {
    Image part(width_, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (Opaque(x, top + y)) {
                part.Set(x, y, At(x, top + y));
            }
        }
    }
    return part;
}

Image Image::Mirrored() const {
    Image out(width_, height_);
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (Opaque(x, y)) {
                out.Set(width_ - 1 - x, y, At(x, y));
            }
        }
    }
    return out;
}

std::vector<uint8_t> EncodeBmp(const Image& image) {
    bmp::Layout layout;
    layout.width = image.width();
    layout.height = image.height();  // positive: rows are stored bottom-up
    layout.bits = 24;
    return bmp::Encode(
        layout, bmp::Rows(image.width(), image.height(), 24, false, [&](int x, int y) {
            const Rgb c = image.At(x, y);
            return (static_cast<uint32_t>(c.r) << 16) | (static_cast<uint32_t>(c.g) << 8) | c.b;
        }));
}

bool WriteBmp(const std::filesystem::path& path, const Image& image, std::string* error) {
    const std::vector<uint8_t> bytes = EncodeBmp(image);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) {
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        file.close();
    }
    if (!file) {
        if (error != nullptr) {
            *error = "cannot write " + path.string();
        }
        return false;
    }
    return true;
}

}  // namespace artgen
