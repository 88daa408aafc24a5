// What the fuzzer keeps: every input it found worth keeping loads through the
// ordinary path to a sound image or is refused with one line, and every seed
// it starts from loads to the colours it was written with.
#include <algorithm>
#include <fstream>
#include <iterator>

#include "library_fixture.h"
#include "library_view.h"
#include "seed_images.h"

namespace dxtest {
namespace {

class FuzzInputTest : public LibraryTest {
  protected:
    // Loads by full path, giving the handle and what went to standard error.
    static int32_t LoadCapturing(const std::string& path, std::string* errors) {
        dxsdl::ReportPendingLoadFailures();  // each input may have its own line
        ::testing::internal::CaptureStderr();
        const int32_t handle = dxLoadGraph(path.c_str(), 0);
        *errors = ::testing::internal::GetCapturedStderr();
        return handle;
    }

    // A loaded image must be one the drawing code can use as it stands.
    static void ExpectSound(int32_t handle, const std::string& name) {
        const dxsdl::Image* image = dxsdl::FindImage(handle);
        ASSERT_NE(nullptr, image) << name;
        EXPECT_GE(image->width, 1) << name;
        EXPECT_GE(image->height, 1) << name;
        EXPECT_LE(image->width, dxsdl::kMaxImageSide) << name;
        EXPECT_LE(image->height, dxsdl::kMaxImageSide) << name;
        EXPECT_EQ(static_cast<size_t>(image->width) * static_cast<size_t>(image->height) * 2,
                  image->pixels.size())
            << name;
        EXPECT_EQ(static_cast<size_t>(image->height) + 1, image->rowSpans.size()) << name;
        for (const dxsdl::OpaqueSpan& span : image->spans) {
            EXPECT_TRUE(span.start >= 0 && span.length > 0 &&
                        span.start + span.length <= image->width)
                << name << ": run " << span.start << "+" << span.length;
        }
        // Drawn across the screen's corner both ways, as the game may.
        EXPECT_EQ(0, dxDrawGraph(-image->width / 2, -image->height / 2, handle, 1)) << name;
        EXPECT_EQ(0, dxDrawGraph(640 - image->width / 2, 480 - image->height / 2, handle, 0))
            << name;
    }
};

TEST_F(FuzzInputTest, EveryKeptInputLoadsSoundlyOrIsRefusedWithOneLine) {
    std::vector<fs::path> inputs;
    for (const auto& entry : fs::directory_iterator(FUZZ_REGRESSIONS_DIR)) {
        if (entry.is_regular_file() && entry.path().filename() != "README.md") {
            inputs.push_back(entry.path());
        }
    }
    std::sort(inputs.begin(), inputs.end());
    ASSERT_GE(inputs.size(), 5u) << "the kept inputs are missing from " << FUZZ_REGRESSIONS_DIR;
    int loaded = 0;
    for (const fs::path& input : inputs) {
        const std::string name = input.filename().string();
        std::string errors;
        const int32_t handle = LoadCapturing(input.string(), &errors);
        if (handle >= 0) {
            EXPECT_EQ("", errors) << name;
            ExpectSound(handle, name);
            ++loaded;
        } else {
            EXPECT_EQ(-1, handle) << name;
            EXPECT_EQ(1, std::count(errors.begin(), errors.end(), '\n')) << name << ": " << errors;
            EXPECT_NE(std::string::npos, errors.find(name)) << errors;
        }
    }
    // Both outcomes are among them, or the folder no longer tests both.
    EXPECT_GT(loaded, 0);
    EXPECT_LT(loaded, static_cast<int>(inputs.size()));
}

TEST_F(FuzzInputTest, EverySeedLoadsToItsOwnColours) {
    const std::vector<fuzzseed::SeedImage> seeds = fuzzseed::MakeSeedImages();
    ASSERT_FALSE(seeds.empty());
    for (const fuzzseed::SeedImage& seed : seeds) {
#ifndef DXLIBDLL_HAVE_PNG
        if (seed.name.ends_with(".png")) {
            continue;
        }
#endif
        WriteBytes(dir_.File(seed.name), seed.bytes);
        std::string errors;
        const int32_t handle = LoadCapturing(dir_.File(seed.name), &errors);
        ASSERT_GE(handle, 0) << seed.name << ": " << errors;
        const dxsdl::Image* image = dxsdl::FindImage(handle);
        ASSERT_NE(nullptr, image);
        ASSERT_EQ(seed.width, image->width) << seed.name;
        ASSERT_EQ(seed.height, image->height) << seed.name;
        ASSERT_EQ(static_cast<size_t>(seed.width * seed.height), seed.argb.size()) << seed.name;
        // Over a white screen: see-through pixels keep the white when drawn
        // with transparency, and are black without it, as is black itself.
        const uint32_t white = Mapped(Rgba{255, 255, 255, 255});
        for (bool transparent : {false, true}) {
            SDL_FillRect(Screen(), nullptr, white);
            ASSERT_EQ(0, dxDrawGraph(0, 0, handle, transparent ? 1 : 0));
            for (int y = 0; y < seed.height; ++y) {
                for (int x = 0; x < seed.width; ++x) {
                    const uint32_t c = seed.argb[static_cast<size_t>(y * seed.width + x)];
                    const bool seeThrough = (c >> 24) < 0x80 || (c & 0xFFFFFF) == 0;
                    const uint32_t want = seeThrough ? (transparent ? white : 0u)
                                                     : Mapped(Rgba{static_cast<uint8_t>(c >> 16),
                                                                   static_cast<uint8_t>(c >> 8),
                                                                   static_cast<uint8_t>(c), 255});
                    EXPECT_EQ(want, PixelAt(x, y))
                        << seed.name << " at " << x << "," << y
                        << (transparent ? " with" : " without") << " transparency";
                }
            }
        }
    }
}

}  // namespace
}  // namespace dxtest
