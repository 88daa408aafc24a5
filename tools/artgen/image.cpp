#include "image.h"

#include <fstream>
#include <stdexcept>

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

namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFFu));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFFu));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    PutU16(out, v & 0xFFFFu);
    PutU16(out, v >> 16);
}

}  // namespace

std::vector<uint8_t> EncodeBmp(const Image& image) {
    constexpr uint32_t kHeaderBytes = 14 + 40;
    // 2835 pixels per metre is 72 dots per inch.
    constexpr uint32_t kPixelsPerMetre = 2835;
    const auto width = static_cast<uint32_t>(image.width());
    const auto height = static_cast<uint32_t>(image.height());
    const uint32_t stride = (width * 3 + 3) / 4 * 4;
    const uint32_t pixelBytes = stride * height;

    std::vector<uint8_t> out;
    out.reserve(kHeaderBytes + pixelBytes);
    out.push_back('B');
    out.push_back('M');
    PutU32(out, kHeaderBytes + pixelBytes);
    PutU32(out, 0);  // two reserved 16-bit fields
    PutU32(out, kHeaderBytes);

    PutU32(out, 40);
    PutU32(out, width);
    PutU32(out, height);  // positive: rows are stored bottom-up
    PutU16(out, 1);       // colour planes
    PutU16(out, 24);      // bits per pixel
    PutU32(out, 0);       // no compression
    PutU32(out, pixelBytes);
    PutU32(out, kPixelsPerMetre);
    PutU32(out, kPixelsPerMetre);
    PutU32(out, 0);  // no palette
    PutU32(out, 0);

    for (int y = image.height() - 1; y >= 0; --y) {
        for (int x = 0; x < image.width(); ++x) {
            const Rgb c = image.At(x, y);
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
        }
        for (uint32_t pad = width * 3; pad < stride; ++pad) {
            out.push_back(0);
        }
    }
    return out;
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
