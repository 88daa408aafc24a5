// The picture, the drawing helpers and the bitmap encoder of the art generator.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string_view>

#include "bmp_reader.h"
#include "draw.h"
#include "image.h"
#include "real_compare.h"

namespace {

using artgen::Image;
using artgen::Rgb;
using artgen_test::ParseBmp;
using artgen_test::ParsedBmp;

TEST(Bitmap, StoresRowsBottomUpInBlueGreenRedWithZeroPadding) {
    // 3 pixels of 3 bytes need 3 bytes of padding per row.
    Image image(3, 2);
    image.Set(0, 0, {10, 20, 30});
    image.Set(2, 0, {40, 50, 60});
    image.Set(1, 1, {70, 80, 90});
    const std::vector<uint8_t> bytes = artgen::EncodeBmp(image);
    ASSERT_EQ(bytes.size(), 54u + 2 * 12);
    // The bottom row (y 1) comes first.
    const std::vector<uint8_t> bottom = {0, 0, 0, 90, 80, 70, 0, 0, 0, 0, 0, 0};
    const std::vector<uint8_t> top = {30, 20, 10, 0, 0, 0, 60, 50, 40, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 54, bytes.begin() + 66), bottom);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 66, bytes.end()), top);
}

TEST(Bitmap, HeadersAgreeWithThePixelsForEveryPadding) {
    // Widths 1 to 4 cover the four possible paddings; a 16-wide tile needs none.
    for (int width : {1, 2, 3, 4, 5, 16, 32}) {
        for (int height : {1, 7}) {
            Image image(width, height);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    image.Set(x, y,
                              {static_cast<uint8_t>(x * 7 + 1), static_cast<uint8_t>(y * 11 + 3),
                               static_cast<uint8_t>(x + y + 9)});
                }
            }
            ParsedBmp parsed;
            std::string why;
            ASSERT_TRUE(ParseBmp(artgen::EncodeBmp(image), &parsed, &why))
                << width << "x" << height << ": " << why;
            ASSERT_EQ(parsed.width, width);
            ASSERT_EQ(parsed.height, height);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    EXPECT_EQ(parsed.At(x, y), image.At(x, y)) << x << "," << y;
                }
            }
        }
    }
}

TEST(Bitmap, WriteReportsAFileThatCannotBeMade) {
    std::string error;
    const auto path =
        std::filesystem::path(testing::TempDir()) / "artgen-no-such-dir" / "deeper" / "x.bmp";
    EXPECT_FALSE(artgen::WriteBmp(path, Image(1, 1), &error));
    EXPECT_NE(error.find("x.bmp"), std::string::npos) << error;
}

TEST(Picture, NearBlackBodyColoursStayVisibleOnASixteenBitScreen) {
    // 5-6-5 keeps the top 5, 6 and 5 bits: these all lose every bit.
    EXPECT_TRUE(artgen::QuantisesToBlack({7, 3, 7}));
    EXPECT_FALSE(artgen::QuantisesToBlack({8, 0, 0}));
    EXPECT_FALSE(artgen::QuantisesToBlack({0, 4, 0}));
    EXPECT_FALSE(artgen::QuantisesToBlack({0, 0, 8}));

    Image image(2, 1);
    image.Set(0, 0, {0, 0, 0});
    image.Set(1, 0, {7, 3, 7});
    EXPECT_TRUE(image.Opaque(0, 0));
    EXPECT_FALSE(artgen::QuantisesToBlack(image.At(0, 0)));
    EXPECT_FALSE(artgen::QuantisesToBlack(image.At(1, 0)));
    image.Clear(0, 0);
    EXPECT_FALSE(image.Opaque(0, 0));
}

TEST(Picture, DrawingOutsideIsIgnoredAndReadsAsTransparent) {
    Image image(4, 3);
    artgen::FillRect(image, -5, -5, 20, 20, {200, 100, 50});
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(image.At(x, y), (Rgb{200, 100, 50}));
        }
    }
    EXPECT_FALSE(image.Opaque(-1, 0));
    EXPECT_FALSE(image.Opaque(4, 0));
    EXPECT_FALSE(image.Opaque(0, 3));
    EXPECT_THROW(Image(0, 5), std::invalid_argument);
}

TEST(Picture, MirrorAndRowsKeepEveryPixel) {
    Image image(3, 4);
    image.Set(0, 0, {10, 10, 10});
    image.Set(2, 3, {20, 20, 20});
    const Image mirrored = image.Mirrored();
    EXPECT_EQ(mirrored.At(2, 0), (Rgb{10, 10, 10}));
    EXPECT_EQ(mirrored.At(0, 3), (Rgb{20, 20, 20}));
    EXPECT_FALSE(mirrored.Opaque(0, 0));
    const Image bottom = image.Rows(2, 2);
    EXPECT_EQ(bottom.height(), 2);
    EXPECT_EQ(bottom.At(2, 1), (Rgb{20, 20, 20}));
    EXPECT_FALSE(bottom.Opaque(0, 0));
}

TEST(Drawing, ShapesCoverPixelCentresInside) {
    Image image(9, 9);
    artgen::FillEllipse(image, 4.5, 4.5, 4, 4, {255, 0, 0});
    EXPECT_TRUE(image.Opaque(4, 4));
    EXPECT_TRUE(image.Opaque(4, 1));
    EXPECT_FALSE(image.Opaque(0, 0));
    EXPECT_FALSE(image.Opaque(8, 8));

    Image triangle(8, 8);
    const artgen::Point points[] = {{0, 0}, {8, 0}, {0, 8}};
    artgen::FillPolygon(triangle, points, {0, 255, 0});
    EXPECT_TRUE(triangle.Opaque(0, 0));
    EXPECT_TRUE(triangle.Opaque(6, 0));
    EXPECT_FALSE(triangle.Opaque(7, 7));
    EXPECT_FALSE(triangle.Opaque(4, 4));  // centre 4.5,4.5 is past the diagonal

    Image line(5, 5);
    artgen::Line(line, 0, 0, 4, 4, {0, 0, 255});
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(line.Opaque(i, i));
    }
    EXPECT_FALSE(line.Opaque(4, 0));
}

TEST(Drawing, OutlineSurroundsTheBodyOnly) {
    Image image(5, 5);
    image.Set(2, 2, {200, 200, 200});
    artgen::Outline(image, [](Rgb) { return Rgb{50, 60, 70}; });
    EXPECT_EQ(image.At(2, 2), (Rgb{200, 200, 200}));
    EXPECT_EQ(image.At(2, 1), (Rgb{50, 60, 70}));
    EXPECT_EQ(image.At(1, 2), (Rgb{50, 60, 70}));
    EXPECT_EQ(image.At(3, 2), (Rgb{50, 60, 70}));
    EXPECT_EQ(image.At(2, 3), (Rgb{50, 60, 70}));
    EXPECT_FALSE(image.Opaque(1, 1));  // diagonals stay clear
    EXPECT_FALSE(image.Opaque(2, 0));
}

TEST(Drawing, TemplatesMapLettersAndMirrorHalves) {
    const artgen::Palette palette = artgen::MakePalette({200, 40, 40}, {40, 40, 200});
    constexpr std::string_view kHalf[] = {"o.", "bh"};
    Image image(4, 2);
    artgen::DrawSymmetricTemplate(image, kHalf, 0, 0, palette);
    EXPECT_EQ(image.At(0, 0), palette.outline);
    EXPECT_FALSE(image.Opaque(1, 0));
    EXPECT_FALSE(image.Opaque(2, 0));
    EXPECT_EQ(image.At(3, 0), palette.outline);
    EXPECT_EQ(image.At(0, 1), palette.base);
    EXPECT_EQ(image.At(1, 1), palette.light);
    EXPECT_EQ(image.At(2, 1), palette.light);
    EXPECT_EQ(image.At(3, 1), palette.base);

    constexpr std::string_view kRagged[] = {"oo", "o"};
    EXPECT_THROW(artgen::DrawTemplate(image, kRagged, 0, 0, palette), std::invalid_argument);
    constexpr std::string_view kUnknown[] = {"oZ"};
    EXPECT_THROW(artgen::DrawTemplate(image, kUnknown, 0, 0, palette), std::invalid_argument);
}

TEST(Drawing, PixelCoordinatesOfAnyRealAreSafe) {
    EXPECT_EQ(artgen::FloorPixel(2.5), 2);
    EXPECT_EQ(artgen::FloorPixel(-2.5), -3);
    EXPECT_EQ(artgen::CeilPixel(2.5), 3);
    EXPECT_EQ(artgen::CeilPixel(-2.5), -2);
    EXPECT_EQ(artgen::FloorPixel(-0.0), 0);
    // Far-off and undefined coordinates land far outside every picture.
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_GT(artgen::FloorPixel(1e300), 100000);
    EXPECT_GT(artgen::FloorPixel(inf), 100000);
    EXPECT_LT(artgen::FloorPixel(-inf), -100000);
    EXPECT_GT(artgen::FloorPixel(std::numeric_limits<double>::quiet_NaN()), 100000);
}

TEST(Drawing, TheSameSeedGivesTheSameNumbers) {
    artgen::Rng a(42);
    artgen::Rng b(42);
    artgen::Rng c(43);
    bool differs = false;
    for (int i = 0; i < 100; ++i) {
        const uint64_t va = a.Next();
        EXPECT_EQ(va, b.Next());
        differs = differs || va != c.Next();
    }
    EXPECT_TRUE(differs);
    artgen::Rng range(7);
    for (int i = 0; i < 1000; ++i) {
        const int v = range.Range(-3, 3);
        EXPECT_GE(v, -3);
        EXPECT_LE(v, 3);
        const double u = range.Unit();
        EXPECT_TRUE(RealGreaterEqual(u, 0.0)) << u;
        EXPECT_TRUE(RealLess(u, 1.0)) << u;
    }
    // Noise is continuous: neighbouring pixels never jump.
    for (int x = 0; x < 400; ++x) {
        const double here = artgen::SmoothNoise(5, x, 40);
        const double next = artgen::SmoothNoise(5, x + 1, 40);
        EXPECT_TRUE(RealLess(std::abs(next - here), 0.1)) << x;
    }
}

}  // namespace
