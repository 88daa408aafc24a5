// The small creatures and items of the sprite strip, as pixel-art templates.
//
// Most templates give the left half of a symmetric picture; see
// DrawSymmetricTemplate. Letters: o outline, s/b/h body shade/base/light,
// c/a/d accent shade/base/light, w eye white, k pupil, m mouth, p cheek,
// Y/y gold, E/e cream, G/g metal.
#include <array>
#include <string_view>

#include "art.h"
#include "draw.h"
#include "pieces.h"

namespace artgen {

namespace {

using Rows = std::span<const std::string_view>;

// clang-format off
constexpr std::string_view kSlime[] = {
    ".....ooo",
    "...oohhh",
    "..ohhbbb",
    ".ohbbbbb",
    ".obbwbbb",
    "obbbwbbb",
    "obbbkbbb",
    "obpbkbbm",
    "osbbbbbb",
    ".osssbbb",
    "..oooooo",
};

constexpr std::string_view kMushroom[] = {
    ".....ooo",
    "...oobbe",
    "..obbbee",
    ".obeebbb",
    ".obeebbb",
    "obbbbbbe",
    "osbbbbbe",
    ".osssbbb",
    "..oooooo",
    "....oeee",
    "....oewe",
    "....oeke",
    "....oeem",
    "....oEee",
    "...oEEee",
    "...ooooo",
};

constexpr std::string_view kBat[] = {
    "....o...",
    "....oo..",
    "o...obbb",
    "oo..obwb",
    "obo.obkb",
    "obboobbb",
    "obbbbbbm",
    "osbbbbbb",
    "os.osbbb",
    "o..o.oss",
    "......oo",
};

constexpr std::string_view kChick[] = {
    ".......o",
    "......oh",
    "....oooo",
    "...ohhbb",
    "..ohbbbb",
    ".ohbbwbb",
    ".obbbkbb",
    "obpbbbyy",
    "obbbbbYY",
    "obsbbbbb",
    ".osbbbbb",
    "..ossbbb",
    "...ooooo",
    ".....Y..",
    "....YY..",
};

constexpr std::string_view kFrog[] = {
    "..ooo...",
    ".owwbo..",
    ".owkbo..",
    "oobbbooo",
    "obbbbbbb",
    "obpbbbbb",
    "obbmmmmm",
    "osbbbbbb",
    ".osbbbbb",
    "obsooooo",
    "oooo....",
};

constexpr std::string_view kBeetle[] = {
    ".....o..",
    "......oo",
    "....ookk",
    "...obbbo",
    "..ohbbbo",
    ".ohbaabo",
    ".obbaabo",
    "obbbbbbo",
    "obaabbbo",
    "osaasbbo",
    ".osssbbo",
    "..oooooo",
    ".o..o...",
};

constexpr std::string_view kGhost[] = {
    ".....ooo",
    "...oohhh",
    "..ohhhhh",
    ".ohhhhhh",
    ".ohhkkhh",
    ".ohhkkhh",
    "ohhhhhhh",
    "ohhhhhmm",
    "ohhhhhmm",
    "ohbhhhhh",
    "ohbbhhhh",
    "obbbhhbh",
    "ob.obbob",
    "o...oo.o",
};

constexpr std::string_view kSnail[] = {
    "..o.o...........",
    "..k.k...........",
    "..o.o....oooo...",
    "..obo...oaaaao..",
    "..obo..oaccccao.",
    ".obbbooacaaaacao",
    ".obwbkoacacdacao",
    ".obbbboacaccacao",
    ".obbbboaacaaacao",
    ".obbbbboaaccccao",
    "obbbbbbbooaaaao.",
    "osbbbbbbbboooso.",
    "osssssssssssssso",
    ".oooooooooooooo.",
};

constexpr std::string_view kTurnip[] = {
    "..oo....",
    ".oaao...",
    ".oadaoo.",
    "..oaaao.",
    "...ooaoo",
    ".....ooo",
    "....obbb",
    "...obhbb",
    "..obhbbb",
    "..obbwbb",
    ".obbbkbb",
    ".obpbbbb",
    ".obbbbmm",
    ".osbbbbb",
    "..ossbbb",
    "...ooooo",
};

constexpr std::string_view kRobot[] = {
    "......oo",
    "......oa",
    ".......o",
    "..oooooo",
    "..oggggg",
    "..ogGGGG",
    "..ogGaGG",
    "..ogGGGG",
    "..oggggg",
    "..ooGooo",
    "oooobbbb",
    "oggobhbb",
    "oggobbab",
    "oGGobbbb",
    "ooooosso",
    "....oGGo",
    "...oooo.",
};

constexpr std::string_view kOwl[] = {
    "..o.....",
    "..ooo...",
    "..obbooo",
    "..obbbbb",
    ".obwwwbb",
    ".owwkwwb",
    ".owwkwwb",
    ".obwwwby",
    ".obbbbbY",
    "obbeebbb",
    "obeEeebb",
    "osbeeEeb",
    "osbbeeeb",
    ".osbbbbb",
    "..oooooo",
    "...y.y..",
};

constexpr std::string_view kCoin[] = {
    "....oooo",
    "..ooyyyy",
    ".oyyeyYY",
    ".oyeyyYy",
    "oyyyyYyy",
    "oyyyyYyy",
    "oyyyyYyy",
    "oYyyyYyy",
    ".oYyyyYY",
    ".oYYyyyy",
    "..ooYYYY",
    "....oooo",
};

constexpr std::string_view kGem[] = {
    "...ooooo",
    "..ohhhbh",
    ".ohhhbbh",
    "oooooooo",
    ".obhhbbb",
    "..obhbbb",
    "...obbbs",
    "....obss",
    ".....obs",
    "......os",
    ".......o",
};

constexpr std::string_view kHeart[] = {
    "..ooo...",
    ".ohhboo.",
    "ohhbbbbo",
    "ohbbbbbb",
    "obbbbbbb",
    "obbbbbbb",
    ".obbbbbb",
    "..osbbbb",
    "...osbbb",
    "....osbb",
    ".....oss",
    "......oo",
};

constexpr std::string_view kPotion[] = {
    ".....ooo",
    ".....oEE",
    ".....ooo",
    "......og",
    "......og",
    "....oogg",
    "...ogggg",
    "..oghbbb",
    ".oghbbbb",
    ".ogbbbbb",
    ".ogbbbbb",
    ".ogsbbbb",
    "..ossbbb",
    "...ooooo",
};

constexpr std::string_view kKey[] = {
    "...oooo.........",
    "..oyyyyo........",
    ".oyyooYYo.......",
    ".oyo..oYo.......",
    ".oyo..oYoooooooo",
    ".oyYooYYyyyyyyyo",
    "..oYYYYooYYoYYo.",
    "...oooo..oo.oo..",
};

constexpr std::string_view kStar[] = {
    ".......o",
    "......oy",
    "......oy",
    ".....oyy",
    "ooooooyy",
    "oyyyyyyy",
    ".oyyykyy",
    "..oYykyy",
    "...oYyyy",
    "...oYyyy",
    "..oYYyoo",
    "..oYoo..",
    ".ooo....",
};

constexpr std::string_view kChest[] = {
    "..oooooo",
    ".ohhhhhh",
    "obbbbbbb",
    "obbbbbbb",
    "oyyyyyyy",
    "osssssoy",
    "obbbbboY",
    "obbbbbbo",
    "obbbbbbb",
    "oYyyyyyy",
    "osssssss",
    ".ooooooo",
};
// clang-format on

enum class Look { kOwnColour, kGreenLeaves, kGhostly, kRedHeart, kWood };

struct Kind {
    Rows rows;
    bool symmetric;
    bool floats;  // hovers above the ground rather than standing on it
    Look look;
};

constexpr Kind kSlimeKind{kSlime, true, false, Look::kOwnColour};
constexpr Kind kMushroomKind{kMushroom, true, false, Look::kOwnColour};
constexpr Kind kBatKind{kBat, true, true, Look::kOwnColour};
constexpr Kind kChickKind{kChick, true, false, Look::kOwnColour};
constexpr Kind kFrogKind{kFrog, true, false, Look::kOwnColour};
constexpr Kind kBeetleKind{kBeetle, true, false, Look::kOwnColour};
constexpr Kind kGhostKind{kGhost, true, true, Look::kGhostly};
constexpr Kind kSnailKind{kSnail, false, false, Look::kOwnColour};
constexpr Kind kTurnipKind{kTurnip, true, false, Look::kGreenLeaves};
constexpr Kind kRobotKind{kRobot, true, false, Look::kOwnColour};
constexpr Kind kOwlKind{kOwl, true, false, Look::kOwnColour};
constexpr Kind kCoinKind{kCoin, true, true, Look::kOwnColour};
constexpr Kind kGemKind{kGem, true, true, Look::kOwnColour};
constexpr Kind kHeartKind{kHeart, true, true, Look::kRedHeart};
constexpr Kind kPotionKind{kPotion, true, true, Look::kOwnColour};
constexpr Kind kKeyKind{kKey, false, true, Look::kOwnColour};
constexpr Kind kStarKind{kStar, true, true, Look::kOwnColour};
constexpr Kind kChestKind{kChest, true, false, Look::kWood};

// What stands in each row of the strip. Rows 25 and 29 are the player and the
// chaser (drawn elsewhere); the rows right after them hold small items, since
// those two are 32 wide and the next sprite is drawn over their right half.
constexpr std::array<const Kind*, kSpriteRows> kStrip = {
    &kSlimeKind,  &kCoinKind,   &kChickKind,    &kMushroomKind, &kGemKind,    &kFrogKind,
    &kBatKind,    &kBeetleKind, &kHeartKind,    &kOwlKind,      &kSnailKind,  &kStarKind,
    &kTurnipKind, &kRobotKind,  &kPotionKind,   &kGhostKind,    &kSlimeKind,  &kChickKind,
    &kCoinKind,   &kFrogKind,   &kMushroomKind, &kKeyKind,      &kBeetleKind, &kOwlKind,
    &kBatKind,    nullptr,      &kGemKind,      &kSlimeKind,    &kTurnipKind, nullptr,
    &kCoinKind,   &kRobotKind,  &kSnailKind,    &kHeartKind,    &kGhostKind,  &kChestKind,
    &kChickKind,  &kFrogKind,   &kStarKind,     &kMushroomKind, &kOwlKind,    &kPotionKind,
    &kBeetleKind, &kSlimeKind,  &kBatKind,      &kGemKind,      &kRobotKind,  &kKeyKind,
    &kTurnipKind, &kChestKind,  &kSnailKind,
};

// Body colours, ordered round the colour wheel so that steps through the list
// give clearly different creatures.
constexpr Rgb kHues[] = {
    {222, 64, 64},  {238, 132, 48}, {236, 200, 56}, {148, 204, 64}, {64, 172, 84},  {48, 176, 164},
    {64, 164, 232}, {72, 104, 224}, {120, 88, 216}, {176, 80, 208}, {232, 96, 168}, {160, 108, 72},
};
constexpr int kHueCount = static_cast<int>(std::size(kHues));

Palette PaletteFor(const Kind& kind, int row, int column) {
    const int hue = (row * 5 + (column - 1) * 2) % kHueCount;
    Rgb base = kHues[hue];
    Rgb accent = kHues[(hue + kHueCount / 2) % kHueCount];
    switch (kind.look) {
        case Look::kOwnColour:
            break;
        case Look::kGreenLeaves:
            accent = {84, 184, 64};
            break;
        case Look::kGhostly:
            base = Mix(base, {236, 240, 255}, 170);
            break;
        case Look::kRedHeart:
            base = column == 1 ? Rgb{226, 44, 72} : Mix(kHues[hue], {226, 44, 72}, 120);
            break;
        case Look::kWood:
            base = Mix({150, 96, 48}, kHues[hue], 40);
            break;
    }
    return MakePalette(base, accent);
}

}  // namespace

Image StripSprite(int row, int column) {
    constexpr int kWidth = 16;
    constexpr int kHeight = 32;
    Image sprite(kWidth, kHeight);
    const Kind* kind = kStrip.at(static_cast<size_t>(row));
    if (kind == nullptr) {
        return sprite;
    }
    const int width = kind->symmetric ? static_cast<int>(kind->rows[0].size()) * 2
                                      : static_cast<int>(kind->rows[0].size());
    const int height = static_cast<int>(kind->rows.size());
    // Even columns are a second frame: a hop for walkers, a higher hover for
    // things in the air.
    const int lift = column % 2 == 0 ? (kind->floats ? 2 : 1) : 0;
    const int top = kHeight - height - (kind->floats ? 6 : 0) - lift;
    const int left = (kWidth - width) / 2;
    const Palette palette = PaletteFor(*kind, row, column);
    if (kind->symmetric) {
        DrawSymmetricTemplate(sprite, kind->rows, left, top, palette);
    } else {
        DrawTemplate(sprite, kind->rows, left, top, palette);
    }
    // Columns 3, 5 and 7 face the other way.
    if (column > 1 && column % 2 == 1) {
        return sprite.Mirrored();
    }
    return sprite;
}

}  // namespace artgen
