// An RGB picture in memory and its encoding as a 24-bit Windows bitmap.
//
// Pure black is the transparent colour of every picture: a new image is all
// black, and every colour drawn into it is lifted, if need be, so that it stays
// visible once the game's 16-bit screen (5 bits red, 6 green, 5 blue) drops the
// low bits.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace artgen {

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kTransparent{0, 0, 0};

// True when the colour becomes (0, 0, 0) on a 16-bit 5-6-5 screen.
constexpr bool QuantisesToBlack(Rgb c) {
    return c.r < 8 && c.g < 4 && c.b < 8;
}

// The nearest colour that stays visible on a 16-bit screen: colours that
// would turn black become the darkest grey that survives.
constexpr Rgb Visible(Rgb c) {
    return QuantisesToBlack(c) ? Rgb{8, 8, 8} : c;
}

class Image {
  public:
    Image() = default;
    Image(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }

    // Reading outside the picture gives the transparent colour.
    Rgb At(int x, int y) const;
    bool Opaque(int x, int y) const { return !(At(x, y) == kTransparent); }

    // Draws one body pixel; outside the picture nothing happens.
    void Set(int x, int y, Rgb c);
    // Makes one pixel transparent again.
    void Clear(int x, int y);

    // The rows top..top+height-1 as a picture of their own.
    Image Rows(int top, int height) const;
    // The picture mirrored left to right.
    Image Mirrored() const;

  private:
    int width_ = 0;
    int height_ = 0;
    std::vector<Rgb> pixels_;
};

// The complete file: the 14-byte file header, the 40-byte information header,
// then the rows bottom-up, blue-green-red, each padded to a multiple of 4 bytes.
std::vector<uint8_t> EncodeBmp(const Image& image);

// Writes the encoded picture; false with a reason when the file cannot be written.
bool WriteBmp(const std::filesystem::path& path, const Image& image, std::string* error);

}  // namespace artgen
