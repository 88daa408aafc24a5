#include "draw.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

#include "real_compare.h"

namespace artgen {

namespace {

uint8_t Channel(int a, int b, int amount) {
    return static_cast<uint8_t>(a + (b - a) * amount / 255);
}

}  // namespace

int FloorPixel(double v) {
    constexpr double kFar = 1 << 20;
    if (std::isnan(v) || !RealLess(v, kFar)) {
        return static_cast<int>(kFar);
    }
    if (RealLess(v, -kFar)) {
        return static_cast<int>(-kFar);
    }
    return static_cast<int>(std::floor(v));
}

int CeilPixel(double v) {
    return -FloorPixel(-v);
}

Rgb Mix(Rgb a, Rgb b, int amount) {
    amount = std::clamp(amount, 0, 255);
    return {Channel(a.r, b.r, amount), Channel(a.g, b.g, amount), Channel(a.b, b.b, amount)};
}

Rgb Lighter(Rgb c, int amount) {
    return Mix(c, {255, 255, 255}, amount);
}

Rgb Darker(Rgb c, int amount) {
    return Mix(c, {0, 0, 0}, amount);
}

uint64_t Rng::Next() {
    state_ += 0x9E3779B97F4A7C15ull;
    uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int Rng::Range(int lo, int hi) {
    const auto span = static_cast<uint64_t>(static_cast<int64_t>(hi) - lo + 1);
    return static_cast<int>(lo + static_cast<int64_t>(Next() % span));
}

double Rng::Unit() {
    return static_cast<double>(Next() >> 11) / 9007199254740992.0;  // 2^53
}

double SmoothNoise(uint64_t seed, double x, double period) {
    const double cell = std::floor(x / period);
    const double t = x / period - cell;
    const auto index = static_cast<int64_t>(cell);
    auto value = [seed](int64_t i) {
        Rng rng(seed * 0x100000001B3ull + static_cast<uint64_t>(i));
        return rng.Unit();
    };
    const double a = value(index);
    const double b = value(index + 1);
    const double s = t * t * (3.0 - 2.0 * t);
    return a + (b - a) * s;
}

void FillRect(Image& image, int x, int y, int width, int height, Rgb c) {
    for (int row = y; row < y + height; ++row) {
        for (int col = x; col < x + width; ++col) {
            image.Set(col, row, c);
        }
    }
}

void FillEllipse(Image& image, double cx, double cy, double rx, double ry, Rgb c) {
    const int x0 = FloorPixel(cx - rx);
    const int x1 = CeilPixel(cx + rx);
    const int y0 = FloorPixel(cy - ry);
    const int y1 = CeilPixel(cy + ry);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const double dx = (x + 0.5 - cx) / rx;
            const double dy = (y + 0.5 - cy) / ry;
            if (RealLessEqual(dx * dx + dy * dy, 1.0)) {
                image.Set(x, y, c);
            }
        }
    }
}

void FillPolygon(Image& image, std::span<const Point> points, Rgb c) {
    if (points.size() < 3) {
        return;
    }
    double top = points[0].y;
    double bottom = points[0].y;
    for (const Point& p : points) {
        if (RealLess(p.y, top)) {
            top = p.y;
        }
        if (RealGreater(p.y, bottom)) {
            bottom = p.y;
        }
    }
    std::vector<double> crossings;
    for (int y = FloorPixel(top); y <= CeilPixel(bottom); ++y) {
        const double sy = y + 0.5;
        crossings.clear();
        for (size_t i = 0; i < points.size(); ++i) {
            const Point& a = points[i];
            const Point& b = points[(i + 1) % points.size()];
            const bool down = RealLessEqual(a.y, sy) && RealGreater(b.y, sy);
            const bool up = RealLessEqual(b.y, sy) && RealGreater(a.y, sy);
            if (down || up) {
                crossings.push_back(a.x + (sy - a.y) * (b.x - a.x) / (b.y - a.y));
            }
        }
        std::sort(crossings.begin(), crossings.end(), RealLess);
        for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
            // Pixels whose centre lies between the two crossings.
            const int from = CeilPixel(crossings[i] - 0.5);
            const int to = FloorPixel(crossings[i + 1] - 0.5);
            for (int x = from; x <= to; ++x) {
                image.Set(x, y, c);
            }
        }
    }
}

void Line(Image& image, int x0, int y0, int x1, int y1, Rgb c) {
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        image.Set(x0, y0, c);
        if (x0 == x1 && y0 == y1) {
            return;
        }
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void Outline(Image& image, const std::function<Rgb(Rgb)>& edge) {
    const Image before = image;
    constexpr int kSteps[4][2] = {{0, -1}, {-1, 0}, {1, 0}, {0, 1}};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (before.Opaque(x, y)) {
                continue;
            }
            for (const auto& step : kSteps) {
                if (before.Opaque(x + step[0], y + step[1])) {
                    image.Set(x, y, edge(before.At(x + step[0], y + step[1])));
                    break;
                }
            }
        }
    }
}

void Bevel(Image& image, int light, int dark) {
    const Image before = image;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!before.Opaque(x, y)) {
                continue;
            }
            const Rgb c = before.At(x, y);
            if (!before.Opaque(x, y - 1) || !before.Opaque(x - 1, y)) {
                image.Set(x, y, Lighter(c, light));
            } else if (!before.Opaque(x, y + 1) || !before.Opaque(x + 1, y)) {
                image.Set(x, y, Darker(c, dark));
            }
        }
    }
}

Palette MakePalette(Rgb base, Rgb accent) {
    Palette p;
    p.outline = Mix(Darker(base, 165), {20, 12, 36}, 90);
    p.shade = Darker(base, 60);
    p.base = base;
    p.light = Lighter(base, 90);
    p.accentShade = Darker(accent, 60);
    p.accent = accent;
    p.accentLight = Lighter(accent, 100);
    p.eyeWhite = {246, 244, 236};
    p.pupil = {28, 20, 44};
    p.mouth = {120, 28, 44};
    p.cheek = Mix(base, {255, 120, 150}, 150);
    p.gold = {250, 204, 64};
    p.goldShade = {196, 128, 32};
    p.cream = {244, 228, 196};
    p.creamShade = {204, 176, 140};
    p.metal = {196, 204, 216};
    p.metalShade = {120, 128, 148};
    return p;
}

namespace {

bool Lookup(const Palette& p, char letter, Rgb* out) {
    switch (letter) {
        case 'o':
            *out = p.outline;
            return true;
        case 's':
            *out = p.shade;
            return true;
        case 'b':
            *out = p.base;
            return true;
        case 'h':
            *out = p.light;
            return true;
        case 'c':
            *out = p.accentShade;
            return true;
        case 'a':
            *out = p.accent;
            return true;
        case 'd':
            *out = p.accentLight;
            return true;
        case 'w':
            *out = p.eyeWhite;
            return true;
        case 'k':
            *out = p.pupil;
            return true;
        case 'm':
            *out = p.mouth;
            return true;
        case 'p':
            *out = p.cheek;
            return true;
        case 'y':
            *out = p.gold;
            return true;
        case 'Y':
            *out = p.goldShade;
            return true;
        case 'e':
            *out = p.cream;
            return true;
        case 'E':
            *out = p.creamShade;
            return true;
        case 'g':
            *out = p.metal;
            return true;
        case 'G':
            *out = p.metalShade;
            return true;
        default:
            return false;
    }
}

}  // namespace

void DrawTemplate(Image& image, std::span<const std::string_view> rows, int x, int y,
                  const Palette& palette) {
    if (rows.empty()) {
        return;
    }
    const size_t width = rows[0].size();
    for (size_t row = 0; row < rows.size(); ++row) {
        if (rows[row].size() != width) {
            throw std::invalid_argument("template row " + std::to_string(row) +
                                        " is not as wide as the first");
        }
        for (size_t col = 0; col < width; ++col) {
            const char letter = rows[row][col];
            if (letter == '.') {
                continue;
            }
            Rgb c;
            if (!Lookup(palette, letter, &c)) {
                throw std::invalid_argument(std::string("unknown template letter '") + letter +
                                            "'");
            }
            image.Set(x + static_cast<int>(col), y + static_cast<int>(row), c);
        }
    }
}

void DrawSymmetricTemplate(Image& image, std::span<const std::string_view> halfRows, int x, int y,
                           const Palette& palette) {
    std::vector<std::string> rows;
    rows.reserve(halfRows.size());
    for (std::string_view half : halfRows) {
        rows.emplace_back(half);
        rows.back().append(half.rbegin(), half.rend());
    }
    const std::vector<std::string_view> views(rows.begin(), rows.end());
    DrawTemplate(image, views, x, y, palette);
}

}  // namespace artgen
