// Drawing on an Image: colours, shapes, outlines and a small seeded generator.
//
// Only +, -, *, / and square roots touch real numbers here, so the same seed
// gives the same pixels with any conforming compiler and C library.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "image.h"

namespace artgen {

// Mixes a and b: amount 0 gives a, 255 gives b.
Rgb Mix(Rgb a, Rgb b, int amount);
// Towards white or black by amount (0..255).
Rgb Lighter(Rgb c, int amount);
Rgb Darker(Rgb c, int amount);

// splitmix64: small, fast and the same everywhere.
class Rng {
  public:
    explicit Rng(uint64_t seed) : state_(seed) {}
    uint64_t Next();
    // A whole number in lo..hi, both included.
    int Range(int lo, int hi);
    // A real in [0, 1).
    double Unit();

  private:
    uint64_t state_;
};

// Smooth one-dimensional noise in [0, 1]: values at every `period` pixels,
// joined by a smoothstep curve; the same (seed, x) always gives the same value.
double SmoothNoise(uint64_t seed, double x, double period);

// Whole pixels below or at, and at or above, a real coordinate. Coordinates
// far outside any picture (or NaN) come out as a far-off pixel instead of an
// out-of-range conversion.
int FloorPixel(double v);
int CeilPixel(double v);

struct Point {
    double x = 0;
    double y = 0;
};

void FillRect(Image& image, int x, int y, int width, int height, Rgb c);
// Every pixel whose centre lies inside the ellipse.
void FillEllipse(Image& image, double cx, double cy, double rx, double ry, Rgb c);
// Every pixel whose centre lies inside the polygon (even-odd rule).
void FillPolygon(Image& image, std::span<const Point> points, Rgb c);
void Line(Image& image, int x0, int y0, int x1, int y1, Rgb c);

// Gives every transparent pixel that touches the body (4-neighbours) the
// colour `edge` returns for the body pixel it touches.
void Outline(Image& image, const std::function<Rgb(Rgb)>& edge);
// Lights body pixels with transparency above or to the left, darkens those
// with transparency below or to the right: a light from the upper left.
void Bevel(Image& image, int light, int dark);

// The colours a pixel-art template may use, by letter. '.' is transparent.
struct Palette {
    Rgb outline, shade, base, light;         // o s b h
    Rgb accentShade, accent, accentLight;    // c a d
    Rgb eyeWhite, pupil, mouth, cheek;       // w k m p
    Rgb gold, goldShade, cream, creamShade;  // y Y e E
    Rgb metal, metalShade;                   // g G
};

// A palette around one body colour and one accent colour.
Palette MakePalette(Rgb base, Rgb accent);

// Draws a template whose rows are strings of palette letters, with its top-left
// corner at (x, y). Throws when a row has another width or a letter is unknown.
void DrawTemplate(Image& image, std::span<const std::string_view> rows, int x, int y,
                  const Palette& palette);
// The same for a left-right symmetric picture given by its left half: each row
// is drawn, then drawn again mirrored to its right.
void DrawSymmetricTemplate(Image& image, std::span<const std::string_view> halfRows, int x, int y,
                           const Palette& palette);

}  // namespace artgen
