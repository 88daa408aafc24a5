// The landscape behind the tile strip: sky, sun and clouds, far mountains,
// green hills with trees, and a band of ground that is grass over earth, a
// pond under a wooden bridge, or the stone of a castle wall.
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "draw.h"
#include "pieces.h"
#include "real_compare.h"

namespace artgen {

namespace {

constexpr int kWidth = 51 * 16;
constexpr int kHeight = kLandscapeHeight;

// Where the pond and the castle stand, in landscape pixels. The game shows
// x 100..599, that is tiles 6 to 37.
constexpr int kPondLeft = 17 * 16;
constexpr int kPondRight = 22 * 16;  // one past the end
constexpr int kCastleLeft = 30 * 16;
constexpr int kCastleRight = 35 * 16;

constexpr int kSunX = 424;
constexpr int kSunY = 30;

bool InPond(int x) {
    return x >= kPondLeft && x < kPondRight;
}

bool InCastle(int x) {
    return x >= kCastleLeft && x < kCastleRight;
}

uint64_t Hash(uint64_t a, uint64_t b) {
    Rng rng(a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull));
    return rng.Next();
}

void Sky(Image& image) {
    const Rgb top{56, 104, 204};
    const Rgb horizon{172, 214, 244};
    for (int y = 0; y < kGroundTop; ++y) {
        const Rgb c = Mix(top, horizon, y * 255 / 118);
        FillRect(image, 0, y, kWidth, 1, c);
    }
    // The sun, right of the middle of the visible part, with a soft ring.
    FillEllipse(image, kSunX, kSunY, 18, 18, Mix(horizon, {255, 240, 170}, 110));
    FillEllipse(image, kSunX, kSunY, 13, 13, {255, 226, 110});
    FillEllipse(image, kSunX - 2, kSunY - 2, 8, 8, {255, 244, 190});
}

void Clouds(Image& image) {
    Rng rng(1);
    const Rgb shade{206, 220, 240};
    const Rgb white{250, 252, 255};
    for (int k = 0; k < 11; ++k) {
        const double cx = 30 + k * 76 + rng.Range(-18, 18);
        const double cy = rng.Range(14, 46);
        const double size = 0.8 + rng.Unit() * 0.5;
        if (RealLess(std::abs(cx - kSunX), 52)) {
            continue;  // the sun stays in the clear
        }
        for (int pass = 0; pass < 2; ++pass) {
            const Rgb c = pass == 0 ? shade : white;
            const double dy = pass == 0 ? 2 : 0;
            FillEllipse(image, cx - 11 * size, cy + 3 + dy, 9 * size, 5 * size, c);
            FillEllipse(image, cx, cy - 1 + dy, 11 * size, 8 * size, c);
            FillEllipse(image, cx + 11 * size, cy + 2 + dy, 9 * size, 6 * size, c);
            FillEllipse(image, cx + 2, cy + 4 + dy, 17 * size, 4 * size, c);
        }
    }
}

struct Peak {
    int x;
    int y;
    double slope;  // pixels down per pixel sideways
};

std::vector<Peak> Peaks() {
    Rng rng(2);
    std::vector<Peak> peaks;
    for (int x = -20; x < kWidth + 60; x += 58 + rng.Range(0, 30)) {
        peaks.push_back({x, rng.Range(46, 74), 0.55 + rng.Unit() * 0.35});
    }
    return peaks;
}

void Mountains(Image& image) {
    const std::vector<Peak> peaks = Peaks();
    const Rgb horizon{172, 214, 244};
    for (int x = 0; x < kWidth; ++x) {
        // The outline is the lowest of the peaks' slopes at this column.
        const Peak* nearest = &peaks[0];
        double ridge = kGroundTop;
        for (const Peak& p : peaks) {
            const double y = p.y + std::abs(x - p.x) * p.slope;
            if (RealLess(y, ridge)) {
                ridge = y;
                nearest = &p;
            }
        }
        const int top = FloorPixel(ridge);
        // The faces left of each peak catch the light.
        const bool lit = x < nearest->x;
        const int snowLine =
            nearest->y + 6 + static_cast<int>(Hash(static_cast<uint64_t>(x), 11) % 3);
        for (int y = top; y < kGroundTop; ++y) {
            Rgb c = lit ? Rgb{140, 152, 206} : Rgb{110, 120, 180};
            if (y < snowLine && nearest->y < 64) {
                c = lit ? Rgb{246, 248, 252} : Rgb{204, 212, 236};
            }
            image.Set(x, y, Mix(c, horizon, std::max(0, y - 76) * 3));
        }
    }
}

void Hills(Image& image) {
    for (int x = 0; x < kWidth; ++x) {
        const int top = 94 + FloorPixel(16 * SmoothNoise(4, x, 84) + 4 * SmoothNoise(5, x, 21));
        for (int y = top; y < kGroundTop; ++y) {
            Rgb c = Mix({104, 186, 88}, {56, 138, 70}, (y - top) * 255 / 36);
            if (y == top) {
                c = {150, 214, 118};
            } else if (Hash(static_cast<uint64_t>(x), static_cast<uint64_t>(y)) % 29 == 0) {
                c = {62, 134, 66};
            }
            image.Set(x, y, c);
        }
    }
}

void Tree(Image& image, int x, int height) {
    const int base = kGroundTop;
    FillRect(image, x - 1, base - height, 3, height, {116, 74, 42});
    FillRect(image, x + 1, base - height, 1, height, {86, 54, 32});
    const Rgb dark{40, 112, 56};
    const Rgb mid{60, 146, 66};
    const Rgb light{112, 190, 90};
    const double top = base - height - 6;
    FillEllipse(image, x - 6, top + 6, 7, 6, dark);
    FillEllipse(image, x + 6, top + 6, 7, 6, dark);
    FillEllipse(image, x, top, 9, 9, dark);
    FillEllipse(image, x - 1, top - 1, 8, 8, mid);
    FillEllipse(image, x - 6, top + 5, 5, 4, mid);
    FillEllipse(image, x - 3, top - 4, 3, 3, light);
}

void Bush(Image& image, int x) {
    FillEllipse(image, x, kGroundTop - 1, 7, 5, {48, 126, 60});
    FillEllipse(image, x - 1, kGroundTop - 2, 5, 4, {76, 160, 74});
    image.Set(x - 2, kGroundTop - 4, {132, 204, 106});
}

// A tall round shrub. The one in tile 26 stands in front of the player's
// legs in the sprite strip, which are twice a tile wide and half covered by
// the next tile.
void Shrub(Image& image, int x) {
    const Rgb dark{40, 112, 56};
    FillEllipse(image, x, kGroundTop - 14, 10, 15, dark);
    FillEllipse(image, x - 1, kGroundTop - 16, 8.5, 13, {60, 146, 66});
    FillEllipse(image, x - 4, kGroundTop - 22, 4, 5, {96, 178, 84});
    FillEllipse(image, x - 5, kGroundTop - 24, 2, 2, {140, 206, 110});
    for (int k = 0; k < 9; ++k) {
        const int y = kGroundTop - 26 + k * 3;
        image.Set(x + 3 + (k % 3) * 2, y, dark);
        image.Set(x - 6 + (k % 4), y + 1, {48, 126, 60});
    }
}

void GrassAndEarth(Image& image, int x) {
    for (int y = kGroundTop; y < kHeight; ++y) {
        const int depth = y - kGroundTop;
        Rgb c;
        if (depth == 0) {
            c = {150, 218, 94};
        } else if (depth < 4) {
            c = {92, 182, 62};
        } else if (depth == 4) {
            c = {64, 134, 52};
        } else {
            c = Mix({160, 108, 62}, {116, 74, 42}, (depth - 5) * 255 / 15);
            const uint64_t h = Hash(static_cast<uint64_t>(x) / 2, static_cast<uint64_t>(y));
            if (h % 23 == 0) {
                c = {196, 148, 100};
            } else if (h % 19 == 0) {
                c = {96, 60, 36};
            }
        }
        if (y == kHeight - 1) {
            c = {78, 50, 30};
        }
        image.Set(x, y, c);
    }
    // Blades and the odd flower above the grass line.
    const uint64_t h = Hash(static_cast<uint64_t>(x), 7);
    if (h % 3 == 0) {
        image.Set(x, kGroundTop - 1, {92, 182, 62});
        if (h % 7 == 0) {
            image.Set(x, kGroundTop - 2, {92, 182, 62});
        }
    }
    if (h % 37 == 0) {
        image.Set(x, kGroundTop - 2, h % 2 == 0 ? Rgb{248, 96, 128} : Rgb{252, 232, 96});
    }
}

void Pond(Image& image) {
    for (int x = kPondLeft; x < kPondRight; ++x) {
        for (int y = kGroundTop + 2; y < kHeight; ++y) {
            const int depth = y - kGroundTop - 2;
            Rgb c = Mix({70, 150, 226}, {32, 78, 170}, depth * 255 / 18);
            if (depth == 0) {
                c = {138, 196, 246};
            } else if (depth % 4 == 2 && (x + depth * 5) % 13 < 4) {
                c = {150, 206, 250};
            }
            image.Set(x, y, c);
        }
        // The banks: earth sloping down into the water at either end.
        const int bank = std::min(x - kPondLeft, kPondRight - 1 - x);
        if (bank < 3) {
            for (int y = kGroundTop + 2 + bank * 4; y < kHeight; ++y) {
                image.Set(x, y, Mix({140, 94, 54}, {100, 64, 38}, (y - kGroundTop) * 12));
            }
        }
    }
}

void Bridge(Image& image) {
    const int left = kPondLeft - 4;
    const int right = kPondRight + 4;
    const Rgb wood{176, 120, 66};
    const Rgb woodLight{214, 160, 98};
    const Rgb woodDark{112, 70, 40};
    // Posts down into the water.
    for (int x = left + 8; x < right; x += 26) {
        FillRect(image, x, kGroundTop, 4, kHeight - kGroundTop, woodDark);
        FillRect(image, x, kGroundTop, 1, kHeight - kGroundTop, wood);
    }
    // The deck the creatures walk on.
    for (int x = left; x < right; ++x) {
        const bool gap = (x - left) % 7 == 6;
        image.Set(x, kGroundTop - 1, gap ? woodDark : woodLight);
        image.Set(x, kGroundTop, gap ? woodDark : wood);
        image.Set(x, kGroundTop + 1, gap ? woodDark : wood);
        image.Set(x, kGroundTop + 2, woodDark);
    }
    // A hand rail behind the deck.
    for (int x = left; x < right; x += 13) {
        FillRect(image, x, kGroundTop - 10, 2, 9, woodDark);
    }
    FillRect(image, left, kGroundTop - 10, right - left, 2, wood);
    FillRect(image, left, kGroundTop - 10, right - left, 1, woodLight);
}

void CastleWall(Image& image) {
    constexpr int kTop = 56;
    constexpr int kBrickWidth = 10;
    constexpr int kBrickHeight = 6;
    const Rgb mortar{98, 92, 106};
    for (int x = kCastleLeft; x < kCastleRight; ++x) {
        const int local = x - kCastleLeft;
        // Merlons on top: raised every other stretch of 10 pixels.
        const int top = (local / 10) % 2 == 0 ? kTop - 8 : kTop;
        for (int y = top; y < kHeight; ++y) {
            const int course = (y - (kTop - 8)) / kBrickHeight;
            const int shifted = local + (course % 2) * (kBrickWidth / 2);
            const bool joint = (y - (kTop - 8)) % kBrickHeight == kBrickHeight - 1 ||
                               shifted % kBrickWidth == kBrickWidth - 1;
            Rgb c = mortar;
            if (!joint) {
                const auto brick = Hash(static_cast<uint64_t>(shifted / kBrickWidth),
                                        static_cast<uint64_t>(course));
                const int tone = static_cast<int>(brick % 24);
                c = {static_cast<uint8_t>(156 + tone), static_cast<uint8_t>(148 + tone),
                     static_cast<uint8_t>(146 + tone)};
                if ((y - (kTop - 8)) % kBrickHeight == 0) {
                    c = Lighter(c, 50);
                }
            }
            // The two ends are in shadow and light, so the wall reads as a block.
            if (local < 2) {
                c = Lighter(c, 60);
            } else if (local >= kCastleRight - kCastleLeft - 2) {
                c = Darker(c, 60);
            }
            image.Set(x, y, c);
        }
    }
    // Two arched windows, a door and a flag.
    const Rgb dark{40, 34, 66};
    for (int wx : {kCastleLeft + 14, kCastleLeft + 58}) {
        FillRect(image, wx, 76, 8, 14, dark);
        FillEllipse(image, wx + 4, 76, 4, 4, dark);
        FillRect(image, wx + 1, 84, 6, 1, {250, 214, 110});
        FillRect(image, wx + 1, 85, 6, 5, {236, 176, 80});
    }
    const int door = kCastleLeft + 30;
    FillEllipse(image, door + 10, 104, 11, 11, dark);
    FillRect(image, door - 1, 104, 22, kGroundTop - 104, dark);
    FillEllipse(image, door + 10, 105, 9, 9, {128, 80, 44});
    FillRect(image, door + 1, 105, 18, kGroundTop - 105, {128, 80, 44});
    for (int x = door + 4; x < door + 19; x += 5) {
        FillRect(image, x, 100, 1, kGroundTop - 100, {92, 56, 32});
    }
    image.Set(door + 15, 118, {250, 214, 110});
    image.Set(door + 15, 119, {196, 140, 60});
    FillRect(image, door + 10, 16, 2, 32, {120, 120, 132});
    const Point flag[] = {{door + 12.0, 17}, {door + 30.0, 22}, {door + 12.0, 28}};
    FillPolygon(image, flag, {214, 52, 64});
    const Point band[] = {{door + 12.0, 21}, {door + 22.0, 23}, {door + 12.0, 24}};
    FillPolygon(image, band, {250, 214, 110});
}

}  // namespace

Image Landscape() {
    Image image(kWidth, kHeight);
    Sky(image);
    Clouds(image);
    Mountains(image);
    Hills(image);
    for (int x : {40, 150, 236, 380, 610, 690, 760}) {
        Tree(image, x, 10 + static_cast<int>(Hash(static_cast<uint64_t>(x), 3) % 8));
    }
    Shrub(image, 26 * 16 + 8);
    for (int x : {100, 196, 262, 366, 458, 576, 650, 732}) {
        Bush(image, x);
    }
    for (int x = 0; x < kWidth; ++x) {
        if (!InPond(x) && !InCastle(x)) {
            GrassAndEarth(image, x);
        }
    }
    Pond(image);
    Bridge(image);
    CastleWall(image);
    return image;
}

}  // namespace artgen
