// The player, a wanderer in a tall pointed hat with a staff, and the chaser,
// a spiky blob with an angry face.
#include <algorithm>
#include <array>

#include "art.h"
#include "draw.h"
#include "pieces.h"

namespace artgen {

namespace {

constexpr int kFigureWidth = 32;
constexpr int kFigureHeight = kPlayerUpperHeight + kPlayerLowerHeight;

struct Outfit {
    Rgb robe;
    Rgb trim;
    bool striding;  // one boot forward: the second frame of a walk
};

// The figures of the player's row: columns 1 and 2 are figure 0, 3 and 4
// figure 1 and so on.
constexpr std::array<Outfit, 4> kOutfits = {{
    {{72, 88, 204}, {250, 204, 64}, false},
    {{72, 88, 204}, {250, 204, 64}, true},
    {{190, 54, 64}, {250, 214, 110}, false},
    {{52, 150, 84}, {236, 236, 200}, false},
}};

const Rgb kSkin{244, 196, 156};
const Rgb kSkinShade{214, 156, 120};
const Rgb kEyes{40, 30, 60};

// Fills the row from x0 to x1 with a colour that runs from light on the left
// to shaded on the right, so round shapes look lit from the upper left.
void ShadedSpan(Image& image, int y, int x0, int x1, Rgb c) {
    for (int x = x0; x <= x1; ++x) {
        const int t = (x - x0) * 255 / std::max(1, x1 - x0);
        Rgb shaded = t < 70 ? Lighter(c, 60) : (t > 180 ? Darker(c, 70) : c);
        image.Set(x, y, shaded);
    }
}

void Hat(Image& image, const Outfit& outfit) {
    // A cone whose tip bends to the right; each row is a span around a
    // centre that curves away as the hat narrows.
    for (int y = 4; y <= 48; ++y) {
        const int up = 48 - y;
        const int centre = 15 + up * up / 230;
        const int half = 1 + (y - 4) * 10 / 44;
        ShadedSpan(image, y, centre - half, centre + half, outfit.robe);
    }
    // Band and star.
    for (int y = 40; y <= 43; ++y) {
        const int half = 1 + (y - 4) * 10 / 44;
        const int centre = 15 + (48 - y) * (48 - y) / 230;
        FillRect(image, centre - half, y, 2 * half + 1, 1,
                 y == 40 ? Lighter(outfit.trim, 80) : outfit.trim);
    }
    const Rgb star = Lighter(outfit.trim, 120);
    image.Set(16, 28, star);
    FillRect(image, 15, 29, 3, 1, star);
    image.Set(16, 30, star);
    // The brim.
    FillEllipse(image, 16, 49, 15, 3.5, Darker(outfit.robe, 40));
    FillRect(image, 3, 48, 26, 1, Lighter(outfit.robe, 40));
}

void Head(Image& image) {
    FillEllipse(image, 16, 61, 8, 9.5, kSkin);
    FillRect(image, 19, 54, 4, 14, kSkinShade);
    FillEllipse(image, 16, 61, 6, 8, kSkin);
    // Hair under the brim, on both sides.
    const Rgb hair{150, 92, 52};
    FillRect(image, 8, 52, 3, 10, hair);
    FillRect(image, 21, 52, 3, 10, hair);
    FillRect(image, 9, 52, 14, 2, hair);
    // Eyes with a glint, cheeks, nose and mouth.
    for (int x : {12, 19}) {
        FillRect(image, x, 59, 2, 3, kEyes);
        image.Set(x, 59, {250, 250, 255});
    }
    image.Set(11, 64, {236, 140, 140});
    image.Set(21, 64, {236, 140, 140});
    image.Set(16, 63, kSkinShade);
    FillRect(image, 14, 66, 5, 1, {160, 70, 70});
}

void Robe(Image& image, const Outfit& outfit) {
    // Collar, then a robe that widens down to its hem in the lower part.
    FillRect(image, 10, 71, 12, 4, outfit.trim);
    FillRect(image, 10, 71, 12, 1, Lighter(outfit.trim, 80));
    for (int y = 75; y <= 148; ++y) {
        const int half = 8 + (y - 75) * 6 / 73;
        ShadedSpan(image, y, 16 - half, 15 + half, outfit.robe);
    }
    // Belt with a buckle, the trim down the front and along the hem.
    FillRect(image, 9, 108, 14, 4, {120, 74, 42});
    FillRect(image, 14, 108, 4, 4, outfit.trim);
    FillRect(image, 15, 109, 2, 2, Darker(outfit.trim, 80));
    FillRect(image, 15, 112, 2, 33, Darker(outfit.trim, 20));
    FillRect(image, 2, 145, 28, 4, outfit.trim);
    FillRect(image, 2, 145, 28, 1, Lighter(outfit.trim, 80));
}

void Arms(Image& image, const Outfit& outfit) {
    // Sleeves that widen towards the wrist, hanging a little off the body.
    for (int y = 76; y <= 116; ++y) {
        const int spread = (y - 76) / 10;
        FillRect(image, 4 - spread / 2, y, 5 + spread, 1, Lighter(outfit.robe, 30));
        FillRect(image, 23 - spread / 2, y, 5 + spread, 1, Darker(outfit.robe, 40));
    }
    FillRect(image, 3, 115, 7, 2, outfit.trim);
    FillRect(image, 22, 115, 7, 2, outfit.trim);
    FillEllipse(image, 6, 120, 3, 3, kSkin);
    FillEllipse(image, 26, 120, 3, 3, kSkin);
}

void Staff(Image& image) {
    // Held in the right hand, from above the shoulder down to the ground.
    FillRect(image, 28, 30, 2, 166, {150, 98, 52});
    FillRect(image, 29, 30, 1, 166, {110, 70, 40});
    FillEllipse(image, 28.5, 25, 4.5, 4.5, {80, 190, 236});
    FillEllipse(image, 28, 24, 3, 3, {150, 230, 255});
    image.Set(27, 22, {250, 255, 255});
    // The fingers round the staff.
    FillRect(image, 25, 119, 4, 3, kSkin);
}

void Boots(Image& image, const Outfit& outfit) {
    const Rgb legs{76, 62, 96};
    const Rgb boot{128, 76, 44};
    const Rgb bootLight{170, 110, 66};
    const Rgb sole{70, 44, 30};
    const int forward = outfit.striding ? 3 : 0;
    // Trousers from under the hem, in the lower part, down into the boots.
    FillRect(image, 8, 149, 6, 26, legs);
    FillRect(image, 18, 149, 6, 26, legs);
    FillRect(image, 8, 149, 2, 26, Lighter(legs, 40));
    FillRect(image, 18, 149, 2, 26, Lighter(legs, 40));
    // The left boot steps forward (to the left) on the stride frame.
    const int boots[2][2] = {{7 - forward, 173}, {18, 173 - forward / 3}};
    for (const auto& b : boots) {
        FillRect(image, b[0], b[1], 7, 18, boot);
        FillRect(image, b[0], b[1], 2, 18, bootLight);
        // The foot, with the toe pointing outwards.
        const int toe = b[0] < 12 ? -2 : 0;
        FillRect(image, b[0] + toe, b[1] + 16, 9, 4, boot);
        FillRect(image, b[0] + toe, b[1] + 20, 9, 2, sole);
        FillRect(image, b[0], b[1], 7, 3, Darker(boot, 50));
        FillRect(image, b[0], b[1], 7, 1, bootLight);
    }
}

}  // namespace

Image PlayerFigure(int variant) {
    const Outfit& outfit = kOutfits.at(static_cast<size_t>(variant));
    Image figure(kFigureWidth, kFigureHeight);
    Robe(figure, outfit);
    Boots(figure, outfit);
    Arms(figure, outfit);
    Hat(figure, outfit);
    Head(figure);
    Staff(figure);
    Outline(figure, [](Rgb c) { return Mix(Darker(c, 170), {24, 14, 40}, 100); });
    return figure;
}

namespace {

// Unit directions every 30 degrees, and the sine and cosine of 12 degrees,
// written out so the art does not depend on a C library's sin and cos.
constexpr Point kDirections[12] = {
    {1, 0},  {0.8660254038, 0.5},   {0.5, 0.8660254038},
    {0, 1},  {-0.5, 0.8660254038},  {-0.8660254038, 0.5},
    {-1, 0}, {-0.8660254038, -0.5}, {-0.5, -0.8660254038},
    {0, -1}, {0.5, -0.8660254038},  {0.8660254038, -0.5},
};
constexpr double kCos12 = 0.9781476007;
constexpr double kSin12 = 0.2079116908;
constexpr double kCos15 = 0.9659258263;
constexpr double kSin15 = 0.2588190451;

Point Rotate(Point p, double c, double s) {
    return {p.x * c - p.y * s, p.x * s + p.y * c};
}

constexpr std::array<Rgb, 7> kChaserColours = {{
    {214, 40, 52},
    {226, 64, 40},
    {150, 56, 206},
    {214, 40, 52},
    {60, 150, 70},
    {236, 120, 30},
    {40, 120, 210},
}};

}  // namespace

Image Chaser(int column) {
    constexpr double kCentre = 16;
    Image image(32, 32);
    const Rgb body = kChaserColours.at(static_cast<size_t>(column - 1));
    const Rgb spikes = Darker(body, 60);
    // Even columns turn the spikes by half a step: two frames of a spin.
    const bool turned = column % 2 == 0;
    for (Point d : kDirections) {
        if (turned) {
            d = Rotate(d, kCos15, kSin15);
        }
        const Point a = Rotate(d, kCos12, kSin12);
        const Point b = Rotate(d, kCos12, -kSin12);
        const Point spike[] = {
            {kCentre + a.x * 9, kCentre + a.y * 9},
            {kCentre + d.x * 15.2, kCentre + d.y * 15.2},
            {kCentre + b.x * 9, kCentre + b.y * 9},
        };
        FillPolygon(image, spike, spikes);
    }
    FillEllipse(image, kCentre, kCentre, 10.5, 10.5, body);
    Bevel(image, 70, 50);
    FillEllipse(image, kCentre - 4, kCentre - 5, 3, 2, Lighter(body, 110));
    // Eyes under angry brows, and a mouth full of teeth.
    const Rgb white{250, 248, 240};
    const Rgb dark{40, 16, 34};
    FillEllipse(image, 12, 15, 3, 3.5, white);
    FillEllipse(image, 20, 15, 3, 3.5, white);
    FillRect(image, 12, 15, 2, 2, dark);
    FillRect(image, 19, 15, 2, 2, dark);
    Line(image, 8, 10, 14, 12, dark);
    Line(image, 8, 11, 14, 13, dark);
    Line(image, 24, 10, 18, 12, dark);
    Line(image, 24, 11, 18, 13, dark);
    FillRect(image, 11, 20, 10, 4, {96, 16, 32});
    for (int x = 11; x < 21; x += 2) {
        image.Set(x, 20, white);
        image.Set(x + 1, 20, white);
        image.Set(x, 21, white);
        image.Set(x + 1, 23, white);
    }
    Outline(image, [](Rgb c) { return Mix(Darker(c, 150), {40, 8, 24}, 120); });
    return image;
}

}  // namespace artgen
