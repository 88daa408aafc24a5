// The art as the game will read it: every file it loads, in a form and with
// the looks the game's drawing relies on.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>

#include "art.h"
#include "bmp_reader.h"
#include "test_files.h"

namespace {

namespace fs = std::filesystem;
using artgen_test::ParseBmp;
using artgen_test::ParsedBmp;

using testfiles::FreshDirectory;
using testfiles::ReadBytes;

int OpaqueCount(const ParsedBmp& image) {
    int count = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            count += image.Opaque(x, y) ? 1 : 0;
        }
    }
    return count;
}

// Writes the art once and reads every file back.
class WrittenArt : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        directory_ = new fs::path(FreshDirectory("artgen-written"));
        std::string error;
        ASSERT_TRUE(artgen::WriteArt(*directory_, &error)) << error;
        files_ = new std::map<std::string, ParsedBmp>;
        for (const auto& entry : fs::directory_iterator(*directory_)) {
            ParsedBmp parsed;
            std::string why;
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(ParseBmp(ReadBytes(entry.path()), &parsed, &why)) << name << ": " << why;
            (*files_)[name] = parsed;
        }
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(*directory_, ec);
        delete files_;
        delete directory_;
    }

    static const ParsedBmp& File(const std::string& name) {
        const auto found = files_->find(name);
        if (found == files_->end()) {
            ADD_FAILURE() << name << " was not written";
            static const ParsedBmp kEmpty;
            return kEmpty;
        }
        return found->second;
    }

    static fs::path* directory_;
    static std::map<std::string, ParsedBmp>* files_;
};

fs::path* WrittenArt::directory_ = nullptr;
std::map<std::string, ParsedBmp>* WrittenArt::files_ = nullptr;

TEST_F(WrittenArt, EveryFileTheGameLoadsIsThereAndNothingElse) {
    // The list is the one the game's own names are checked against.
    const std::vector<std::string> expected = artgen::ArtFileNames();
    ASSERT_EQ(expected.size(), 408u);
    std::set<std::string> written;
    for (const auto& [name, image] : *files_) {
        written.insert(name);
    }
    EXPECT_EQ(written, std::set<std::string>(expected.begin(), expected.end()));
}

TEST_F(WrittenArt, TilesAreSixteenWideAndJoinIntoOneStrip) {
    const ParsedBmp& first = File("00.bmp");
    ASSERT_GT(first.height, 0);
    for (int i = 0; i <= 50; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%02d.bmp", i);
        const ParsedBmp& tile = File(name);
        EXPECT_EQ(tile.width, 16) << name;
        EXPECT_EQ(tile.height, first.height) << name;
        // A landscape: no holes where the black screen would show through.
        EXPECT_EQ(OpaqueCount(tile), tile.width * tile.height) << name;
    }
    // Neighbouring tiles are different pictures, not one tile repeated.
    std::set<std::vector<uint8_t>> distinct;
    for (int i = 0; i <= 50; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%02d.bmp", i);
        distinct.insert(ReadBytes(*directory_ / name));
    }
    EXPECT_EQ(distinct.size(), 51u);
}

TEST_F(WrittenArt, EverySpriteHasABodyOnABlackBackground) {
    for (int row = 0; row <= 50; ++row) {
        for (int column = 1; column <= 7; ++column) {
            const std::string name = artgen::SpriteName(row, column);
            const ParsedBmp& sprite = File(name);
            ASSERT_GT(sprite.width, 0) << name;
            EXPECT_GT(OpaqueCount(sprite), 20) << name;
            // A body on a background the game draws see-through: black
            // all round the edge but for where feet and wings touch it.
            int edge = 0;
            int clearEdge = 0;
            for (int x = 0; x < sprite.width; ++x) {
                for (int y : {0, sprite.height - 1}) {
                    ++edge;
                    clearEdge += sprite.Opaque(x, y) ? 0 : 1;
                }
            }
            for (int y = 1; y + 1 < sprite.height; ++y) {
                for (int x : {0, sprite.width - 1}) {
                    ++edge;
                    clearEdge += sprite.Opaque(x, y) ? 0 : 1;
                }
            }
            EXPECT_GE(clearEdge * 2, edge) << name;
            EXPECT_FALSE(sprite.Opaque(0, 0)) << name;
            EXPECT_FALSE(sprite.Opaque(sprite.width - 1, 0)) << name;
            EXPECT_LT(OpaqueCount(sprite) * 10, sprite.width * sprite.height * 9) << name;
        }
    }
}

TEST_F(WrittenArt, StripSpritesAreSixteenWideAndStandOnOneLine) {
    // Column 1 of every row but the player's and the chaser's is drawn in a
    // strip 16 pixels apart.
    for (int row = 0; row <= 50; ++row) {
        if (row == 25 || row == 29) {
            continue;
        }
        const ParsedBmp& sprite = File(artgen::SpriteName(row, 1));
        EXPECT_EQ(sprite.width, 16) << row;
        EXPECT_EQ(sprite.height, 32) << row;
    }
}

TEST_F(WrittenArt, NoBodyPixelTurnsBlackOnASixteenBitScreen) {
    for (const auto& [name, image] : *files_) {
        int lost = 0;
        for (const artgen::Rgb& c : image.pixels) {
            if (!(c == artgen::Rgb{0, 0, 0}) && artgen::QuantisesToBlack(c)) {
                ++lost;
            }
        }
        EXPECT_EQ(lost, 0) << name;
    }
}

TEST_F(WrittenArt, ThePlayersTwoPartsMeetAsOneFigure) {
    const ParsedBmp& upper = File("chr25-2.bmp");
    const ParsedBmp& lower = File("chr25-1.bmp");
    // The upper part is drawn 150 pixels above the lower one.
    ASSERT_EQ(upper.height, 150);
    ASSERT_EQ(upper.width, lower.width);
    EXPECT_GE(lower.height, 32);
    EXPECT_GT(OpaqueCount(upper), upper.width * upper.height / 4);
    EXPECT_GT(OpaqueCount(lower), lower.width * lower.height / 4);
    // Where one ends the other goes on: what the lower part fills in its top
    // row hangs from what the upper part fills in its bottom row.
    int meeting = 0;
    int lowerTop = 0;
    for (int x = 0; x < upper.width; ++x) {
        lowerTop += lower.Opaque(x, 0) ? 1 : 0;
        meeting += upper.Opaque(x, upper.height - 1) && lower.Opaque(x, 0) ? 1 : 0;
    }
    EXPECT_GE(lowerTop, 8);
    EXPECT_GE(meeting, lowerTop * 3 / 4);
    // A head at the top: the upper part's first body rows are near its top.
    int firstRow = upper.height;
    for (int y = 0; y < upper.height && firstRow == upper.height; ++y) {
        for (int x = 0; x < upper.width; ++x) {
            if (upper.Opaque(x, y)) {
                firstRow = y;
                break;
            }
        }
    }
    EXPECT_LT(firstRow, 10);
}

TEST_F(WrittenArt, TheChaserIsARedBlobOfItsOwnSize) {
    const ParsedBmp& chaser = File("chr29-1.bmp");
    EXPECT_EQ(chaser.width, 32);
    EXPECT_EQ(chaser.height, 32);
    EXPECT_GT(OpaqueCount(chaser), 32 * 32 / 3);
    // Mostly red: red clearly above green and blue over the body.
    long red = 0;
    long green = 0;
    long blue = 0;
    for (const artgen::Rgb& c : chaser.pixels) {
        red += c.r;
        green += c.g;
        blue += c.b;
    }
    EXPECT_GT(red, 2 * green);
    EXPECT_GT(red, 2 * blue);
    // It stands out from the player: the two are different pictures.
    EXPECT_NE(ReadBytes(*directory_ / "chr29-1.bmp"), ReadBytes(*directory_ / "chr25-1.bmp"));
}

TEST(Art, TwoRunsWriteTheSameBytes) {
    const fs::path first = FreshDirectory("artgen-first");
    const fs::path second = FreshDirectory("artgen-second");
    std::string error;
    ASSERT_TRUE(artgen::WriteArt(first, &error)) << error;
    ASSERT_TRUE(artgen::WriteArt(second, &error)) << error;
    for (const std::string& name : artgen::ArtFileNames()) {
        const std::vector<uint8_t> a = ReadBytes(first / name);
        ASSERT_FALSE(a.empty()) << name;
        EXPECT_EQ(a, ReadBytes(second / name)) << name;
    }
    std::error_code ec;
    fs::remove_all(first, ec);
    fs::remove_all(second, ec);
}

TEST(Art, WritingIntoAPlaceThatIsAFileFails) {
    const fs::path blocker = FreshDirectory("artgen-blocker");
    std::ofstream(blocker) << "not a directory";
    std::string error;
    EXPECT_FALSE(artgen::WriteArt(blocker / "bmp", &error));
    EXPECT_FALSE(error.empty());
    std::error_code ec;
    fs::remove(blocker, ec);
}

TEST(Art, PicturesOutsideTheTablesDoNotExist) {
    EXPECT_THROW(artgen::Tile(51), std::out_of_range);
    EXPECT_THROW(artgen::Tile(-1), std::out_of_range);
    EXPECT_THROW(artgen::Sprite(0, 0), std::out_of_range);
    EXPECT_THROW(artgen::Sprite(0, 8), std::out_of_range);
    EXPECT_THROW(artgen::Sprite(51, 1), std::out_of_range);
}

}  // namespace
