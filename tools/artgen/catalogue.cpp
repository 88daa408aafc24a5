#include <cstdio>
#include <stdexcept>
#include <system_error>

#include "art.h"
#include "pieces.h"

namespace artgen {

namespace {

Image TileFrom(const Image& landscape, int index) {
    Image tile(kTileWidth, landscape.height());
    for (int y = 0; y < landscape.height(); ++y) {
        for (int x = 0; x < kTileWidth; ++x) {
            if (landscape.Opaque(index * kTileWidth + x, y)) {
                tile.Set(x, y, landscape.At(index * kTileWidth + x, y));
            }
        }
    }
    return tile;
}

}  // namespace

Image Tile(int index) {
    if (index < 0 || index >= kTileCount) {
        throw std::out_of_range("no tile " + std::to_string(index));
    }
    return TileFrom(Landscape(), index);
}

Image Sprite(int row, int column) {
    if (row < 0 || row >= kSpriteRows || column < 1 || column > kSpriteColumns) {
        throw std::out_of_range("no sprite " + std::to_string(row) + "-" + std::to_string(column));
    }
    if (row == kPlayerRow) {
        // Odd columns are lower parts, even ones upper parts, in pairs of one
        // figure: 1 and 2, 3 and 4, 5 and 6, then 7 alone.
        const Image figure = PlayerFigure((column - 1) / 2);
        return column % 2 == 1 ? figure.Rows(kPlayerUpperHeight, kPlayerLowerHeight)
                               : figure.Rows(0, kPlayerUpperHeight);
    }
    if (row == kChaserRow) {
        return Chaser(column);
    }
    return StripSprite(row, column);
}

std::vector<ArtPiece> AllArt() {
    std::vector<ArtPiece> art;
    const Image landscape = Landscape();
    for (int i = 0; i < kTileCount; ++i) {
        art.push_back({TileName(i), TileFrom(landscape, i)});
    }
    for (int row = 0; row < kSpriteRows; ++row) {
        for (int column = 1; column <= kSpriteColumns; ++column) {
            art.push_back({SpriteName(row, column), Sprite(row, column)});
        }
    }
    return art;
}

bool WriteArt(const std::filesystem::path& directory, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (ec) {
        if (error != nullptr) {
            *error = "cannot make " + directory.string() + ": " + ec.message();
        }
        return false;
    }
    for (const ArtPiece& piece : AllArt()) {
        if (!WriteBmp(directory / piece.name, piece.image, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace artgen
