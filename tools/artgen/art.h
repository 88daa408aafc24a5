// The game's sample art: 51 tiles and 51 rows of 7 sprites, by file name.
//
// The tiles cut one landscape into 16-pixel columns, so the strip the game
// draws along the top of the screen reads as one scene: sky, hills, a pond
// with a bridge and a castle wall over a band of ground. The first sprite of
// each row is a small creature or item that stands on that ground in the
// game's sprite strip; the other columns are colour and pose variants. Row 25
// holds the player (column 1 the legs, column 2 everything above them, drawn
// 150 pixels higher) and row 29 the chaser.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "art_names.h"
#include "image.h"

namespace artgen {

inline constexpr int kTileWidth = 16;

inline constexpr int kPlayerRow = 25;
inline constexpr int kPlayerLowerColumn = 1;
inline constexpr int kPlayerUpperColumn = 2;
inline constexpr int kPlayerUpperHeight = 150;  // the game draws the upper part this much higher
inline constexpr int kChaserRow = 29;
inline constexpr int kChaserColumn = 1;

Image Tile(int index);              // 0..50
Image Sprite(int row, int column);  // row 0..50, column 1..7

struct ArtPiece {
    std::string name;
    Image image;
};

// Every picture with its file name, in loading order.
std::vector<ArtPiece> AllArt();

// Writes every picture into the directory, making it if need be; false with
// a reason when something cannot be written.
bool WriteArt(const std::filesystem::path& directory, std::string* error);

// The desktop icon: the player's head under his pointed hat, with the top of
// the staff, from the game's own sprite, centred on a square of kIconSize.
inline constexpr int kIconSize = 64;
Image Icon();

// The icon file names artgen writes, one per size: chaser-64.png (the
// sprite's own pixels), chaser-128.png, chaser-192.png, chaser-256.png and
// chaser-512.png (each pixel a square block). The desktop takes 64, 128 and
// 256; the web page's manifest 192 and 512.
inline constexpr int kIconScales[] = {1, 2, 3, 4, 8};
std::string IconName(int scale);

// The web page's maskable icon: a launcher may cut any shape out of it that
// holds the circle of four tenths of its side round its centre, so it has no
// transparent pixel, and the icon's figure, enlarged by the largest whole
// factor that keeps every pixel of it inside that circle, is centred on a
// plain background. FilledIcon is that picture at any side.
inline constexpr int kMaskableIconSize = 512;
inline constexpr Rgb kMaskableIconBackground{24, 32, 56};
Image FilledIcon(int side);
Image MaskableIcon();
inline constexpr const char* kMaskableIconName = "chaser-maskable-512.png";

// The icon a phone's home screen shows for the page: filled the same way (the
// phone rounds its corners and shows transparent pixels black), at the side
// that phone asks for.
inline constexpr int kTouchIconSize = 180;
inline constexpr const char* kTouchIconName = "chaser-touch-180.png";

// Writes the icon at every size, and the maskable icon, into the directory,
// making it if need be; false with a reason when something cannot be written.
bool WriteIcons(const std::filesystem::path& directory, std::string* error);

}  // namespace artgen
