// Loading images: the formats read, where relative names are looked for, and
// every way a file can fail, each with its one line on standard error.
#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>

#ifdef DXLIBDLL_TESTS_WRITE_PNG
#include <SDL_image.h>
#endif

#include "library_fixture.h"

namespace dxtest {
namespace {

class LoadingTest : public LibraryTest {
  protected:
    // Loads the name and gives what went to standard error meanwhile.
    std::string LoadCapturingErrors(const std::string& name, int32_t* handle) {
        dxsdl::ReportPendingLoadFailures();  // each load here may have its own line
        ::testing::internal::CaptureStderr();
        *handle = dxLoadGraph(name.c_str(), 0);
        return ::testing::internal::GetCapturedStderr();
    }

    // Expects loading to fail with exactly one line naming the file and
    // containing `reason`.
    void ExpectRefused(const std::string& name, const std::string& reason) {
        int32_t handle = 0;
        const std::string errors = LoadCapturingErrors(name, &handle);
        EXPECT_EQ(-1, handle) << name;
        EXPECT_EQ(1, std::count(errors.begin(), errors.end(), '\n')) << errors;
        // Named as this system writes paths.
        std::string shown = name;
        std::replace(shown.begin(), shown.end(), '\\', '/');
        EXPECT_NE(std::string::npos, errors.find(shown)) << errors;
        EXPECT_NE(std::string::npos, errors.find(reason)) << errors;
    }

    // Draws the handle at (0, 0) and expects the pixels of colourAt.
    void ExpectDrawn(int32_t handle, int w, int h, const std::function<Rgba(int, int)>& colourAt) {
        ASSERT_GE(handle, 0);
        ASSERT_EQ(0, dxClearDrawScreen());
        ASSERT_EQ(0, dxDrawGraph(0, 0, handle, 0));
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                ASSERT_EQ(Mapped(colourAt(x, y)), PixelAt(x, y)) << x << "," << y;
            }
        }
    }
};

// The BMP file header and a 40-byte info header for a w x h image, with no
// pixels after it.
std::vector<uint8_t> BmpHeaderOnly(int32_t w, int32_t h, int bits) {
    std::vector<uint8_t> bytes = BmpBytes(1, 1, bits, {}, [](int, int) { return 0u; });
    bytes.resize(54);
    const auto put32 = [&](int at, int32_t v) {
        const auto u = static_cast<uint32_t>(v);
        for (int i = 0; i < 4; ++i) {
            bytes[at + i] = static_cast<uint8_t>(u >> (8 * i));
        }
    };
    put32(18, w);
    put32(22, h);
    return bytes;
}

TEST_F(LoadingTest, ReadsBmpsOfEveryDepth) {
    const std::vector<Rgba> palette = {
        {0, 0, 0, 255},       {255, 0, 0, 255},     {0, 255, 0, 255},     {0, 0, 255, 255},
        {255, 255, 0, 255},   {0, 255, 255, 255},   {255, 0, 255, 255},   {128, 64, 32, 255},
        {10, 20, 30, 255},    {40, 50, 60, 255},    {70, 80, 90, 255},    {100, 110, 120, 255},
        {130, 140, 150, 255}, {160, 170, 180, 255}, {190, 200, 210, 255}, {250, 240, 230, 255}};
    const int w = 13;  // odd, so rows carry padding at every depth
    const int h = 5;
    for (int bits : {1, 4, 8}) {
        const int colours = bits == 1 ? 2 : 16;
        const std::vector<Rgba> used(palette.begin(), palette.begin() + colours);
        const auto index = [&](int x, int y) {
            return static_cast<uint32_t>((x + 3 * y) % colours);
        };
        const std::string name = "depth" + std::to_string(bits) + ".bmp";
        WriteBytes(dir_.File(name), BmpBytes(w, h, bits, used, index));
        ExpectDrawn(Load(name), w, h, [&](int x, int y) { return used[index(x, y)]; });
    }
    const auto colour = [](int x, int y) {
        return Rgba{static_cast<uint8_t>(x * 19), static_cast<uint8_t>(y * 50), 77, 255};
    };
    const auto packed = [&](int x, int y) {
        const Rgba c = colour(x, y);
        return 0xFF000000u | (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
    };
    WriteBytes(dir_.File("depth24.bmp"), BmpBytes(w, h, 24, {}, packed));
    ExpectDrawn(Load("depth24.bmp"), w, h, colour);
    WriteBytes(dir_.File("depth32.bmp"), BmpBytes(w, h, 32, {}, packed));
    ExpectDrawn(Load("depth32.bmp"), w, h, colour);
    // 16-bit pixels and a top-down 24-bit file, as SDL writes and reads them.
    SDL_Surface* argb = MakeSurface(w, h, colour);
    SDL_Surface* rgb555 = SDL_ConvertSurfaceFormat(argb, SDL_PIXELFORMAT_RGB555, 0);
    ASSERT_EQ(0, SDL_SaveBMP(rgb555, dir_.File("depth16.bmp").c_str()));
    const int32_t sixteen = Load("depth16.bmp");
    ASSERT_GE(sixteen, 0);
    SDL_FreeSurface(rgb555);
    SDL_FreeSurface(argb);
}

TEST_F(LoadingTest, HandlesAreDistinctAndStartAtZeroOrMore) {
    WriteSolidBmp(dir_.File("a.bmp"), 2, 2, Rgba{255, 0, 0, 255});
    WriteSolidBmp(dir_.File("b.bmp"), 2, 2, Rgba{0, 0, 255, 255});
    const int32_t a = Load("a.bmp");
    const int32_t b = Load("b.bmp");
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    EXPECT_NE(a, b);
    ExpectDrawn(a, 2, 2, [](int, int) { return Rgba{255, 0, 0, 255}; });
    ExpectDrawn(b, 2, 2, [](int, int) { return Rgba{0, 0, 255, 255}; });
}

TEST_F(LoadingTest, BackslashesWorkAsSeparators) {
    fs::create_directories(dir_.path() / "resource" / "bmp");
    WriteSolidBmp(dir_.File("resource/bmp/00.bmp"), 3, 3, Rgba{0, 255, 0, 255});
    const std::string name = dir_.path().string() + "/resource\\bmp\\00.bmp";
    ExpectDrawn(dxLoadGraph(name.c_str(), 0), 3, 3, [](int, int) { return Rgba{0, 255, 0, 255}; });
}

// Changes the working directory for one test.
class WorkingDirectory {
  public:
    explicit WorkingDirectory(const fs::path& to) : before_(fs::current_path()) {
        fs::current_path(to);
    }
    ~WorkingDirectory() { fs::current_path(before_); }

  private:
    fs::path before_;
};

TEST_F(LoadingTest, RelativeNamesAreLookedUpInTheWorkingDirectory) {
    fs::create_directories(dir_.path() / "resource" / "bmp");
    WriteSolidBmp(dir_.File("resource/bmp/01.bmp"), 3, 3, Rgba{0, 0, 255, 255});
    WorkingDirectory here(dir_.path());
    ExpectDrawn(dxLoadGraph("resource\\bmp\\01.bmp", 0), 3, 3, [](int, int) {
        return Rgba{0, 0, 255, 255};
    });
}

TEST_F(LoadingTest, RelativeNamesFallBackToTheExecutablesDirectory) {
    char* base = SDL_GetBasePath();
    ASSERT_NE(nullptr, base);
    const fs::path executableDir(base);
    SDL_free(base);
    // A folder of its own beside the test program, found only from there.
    const std::string folder = dir_.path().filename().string();
    const fs::path beside = executableDir / folder;
    fs::create_directories(beside);
    WriteSolidBmp((beside / "art.bmp").string(), 2, 2, Rgba{255, 255, 0, 255});
    int32_t handle = -1;
    {
        WorkingDirectory elsewhere(dir_.path());
        ASSERT_FALSE(fs::exists(fs::path(folder) / "art.bmp"));
        handle = dxLoadGraph((folder + "\\art.bmp").c_str(), 0);
    }
    fs::remove_all(beside);
    ExpectDrawn(handle, 2, 2, [](int, int) { return Rgba{255, 255, 0, 255}; });
}

// A player's folders may be named in any script (a user name, a downloads
// folder): the executable's folder, UTF-8 inside the library, is found
// whatever code page the system uses for narrow names.
TEST_F(LoadingTest, TheExecutablesFolderMayBeNamedInAnyScript) {
    const fs::path folder = dir_.path() / fs::path(u8"Jos\u00e9 \u65e5\u672c \u0416");
    fs::create_directories(folder / "art");
    const std::u8string utf8 = folder.u8string();
    const std::string base(utf8.begin(), utf8.end());
    WriteSolidBmp(base + "/art/x.bmp", 2, 1, Rgba{255, 0, 255, 255});
    dxsdl::ImageTable table;
    table.executableDirectory = base + "/";
    WorkingDirectory elsewhere(dir_.path());
    ASSERT_EQ(0, dxsdl::LoadImage(table, "art\\x.bmp", SDL_PIXELFORMAT_RGB565));
    EXPECT_EQ(2, table.images[0].width);
    EXPECT_EQ(1, table.images[0].height);
}

// An installed game: bin/chaser (or games/chaser) with its art under
// share/chaser/, started from anywhere.
TEST_F(LoadingTest, RelativeNamesFallBackToTheInstallsDataFolder) {
    char* base = SDL_GetBasePath();
    ASSERT_NE(nullptr, base);
    const fs::path executableDir(base);
    SDL_free(base);
    const std::string folder = dir_.path().filename().string();
    const fs::path dataFolder = executableDir / ".." / "share" / "chaser";
    fs::create_directories(dataFolder / folder);
    WriteSolidBmp((dataFolder / folder / "art.bmp").string(), 3, 1, Rgba{0, 255, 255, 255});
    int32_t handle = -1;
    {
        WorkingDirectory elsewhere(dir_.path());
        ASSERT_FALSE(fs::exists(fs::path(folder) / "art.bmp"));
        ASSERT_FALSE(fs::exists(executableDir / folder / "art.bmp"));
        handle = dxLoadGraph((folder + "\\art.bmp").c_str(), 0);
    }
    fs::remove_all(dataFolder / folder);
    std::error_code notEmpty;  // folders made here go; anything else stays
    fs::remove(dataFolder, notEmpty);
    fs::remove(dataFolder.parent_path(), notEmpty);
    ExpectDrawn(handle, 3, 1, [](int, int) { return Rgba{0, 255, 255, 255}; });
}

TEST_F(LoadingTest, MissingFileIsRefused) {
    ExpectRefused(dir_.File("nothing-here.bmp"), "not found");
    ExpectRefused("resource\\bmp\\not-a-file-anywhere.bmp", "not found");
}

TEST_F(LoadingTest, EachFileNameIsReportedOnce) {
    const std::string name = dir_.File("missing.bmp");
    ExpectRefused(name, "not found");
    int32_t handle = 0;
    EXPECT_EQ("", LoadCapturingErrors(name, &handle));
    EXPECT_EQ(-1, handle);
}

TEST_F(LoadingTest, EmptyFileIsRefused) {
    WriteBytes(dir_.File("empty.bmp"), {});
    ExpectRefused(dir_.File("empty.bmp"), "empty");
}

TEST_F(LoadingTest, TruncatedBmpIsRefused) {
    std::vector<uint8_t> bytes = BmpBytes(20, 20, 24, {}, [](int, int) { return 0xFF8040u; });
    bytes.resize(bytes.size() / 2);
    WriteBytes(dir_.File("half.bmp"), bytes);
    ExpectRefused(dir_.File("half.bmp"), "truncated");
    // Cut inside the header as well.
    bytes.resize(16);
    WriteBytes(dir_.File("stub.bmp"), bytes);
    ExpectRefused(dir_.File("stub.bmp"), "truncated");
}

TEST_F(LoadingTest, TextFileNamedBmpIsRefused) {
    const std::string text = "This is not a picture.\n";
    WriteBytes(dir_.File("notes.bmp"), std::vector<uint8_t>(text.begin(), text.end()));
    ExpectRefused(dir_.File("notes.bmp"), "not a BMP or PNG image");
}

TEST_F(LoadingTest, DirectoryNamedLikeAnImageIsRefused) {
    fs::create_directories(dir_.path() / "folder.bmp");
    ExpectRefused(dir_.File("folder.bmp"), "directory");
}

TEST_F(LoadingTest, OversizedImageHeaderIsRefusedWithoutDecoding) {
    // 54 bytes claiming 100000 x 100000 pixels (about 30 GB at 24 bits).
    WriteBytes(dir_.File("huge.bmp"), BmpHeaderOnly(100000, 100000, 24));
    ExpectRefused(dir_.File("huge.bmp"), "100000 x 100000");
    // Top-down rows give a negative height: its size counts all the same.
    WriteBytes(dir_.File("tall.bmp"), BmpHeaderOnly(16, -9000, 24));
    ExpectRefused(dir_.File("tall.bmp"), "16 x 9000");
    WriteBytes(dir_.File("none.bmp"), BmpHeaderOnly(0, 10, 24));
    ExpectRefused(dir_.File("none.bmp"), "no pixels");
    WriteBytes(dir_.File("lowest.bmp"), BmpHeaderOnly(10, INT32_MIN, 24));
    ExpectRefused(dir_.File("lowest.bmp"), "2147483648");
}

TEST_F(LoadingTest, ImagesOf8192PixelsASideAreAccepted) {
    std::vector<uint8_t> bytes =
        BmpBytes(8192, 1, 8, {{10, 20, 30, 255}}, [](int, int) { return 0u; });
    WriteBytes(dir_.File("wide.bmp"), bytes);
    const int32_t handle = Load("wide.bmp");
    ASSERT_GE(handle, 0);
    ASSERT_EQ(0, dxDrawGraph(-8000, 0, handle, 0));
    EXPECT_EQ(Mapped(Rgba{10, 20, 30, 255}), PixelAt(191, 0));
    EXPECT_EQ(0u, PixelAt(192, 0));
}

// Uncompressed BMPs of 16 to 32 bits are read a few rows at a time where they
// lie in the file: they must give exactly what SDL's own reader and the
// conversion of its whole surface give. Both row orders, widths whose rows are
// padded, several steps of rows, colour masks, and a 32-bit fourth byte that
// is zero in the first rows only (alpha, those rows see-through) or
// throughout (no alpha at all: opaque).
TEST_F(LoadingTest, BmpsReadRowsAtATimeGiveWhatTheWholeImageGives) {
    constexpr int kW = 37;
    constexpr int kH = 41;
    const auto colour = [](int x, int y) {
        return static_cast<uint32_t>((x * 7 + y * 3) % 256) << 16 |
               static_cast<uint32_t>((x * 5 + 40) % 256) << 8 |
               static_cast<uint32_t>(((x + y) % 3 == 0) ? 0 : y * 6);
    };
    struct Case {
        const char* name;
        bmp::Layout layout;
        std::function<uint32_t(int, int)> value;
    };
    const auto layout = [&](int bits, int height, uint32_t compression, uint32_t infoSize,
                            std::array<uint32_t, 4> masks) {
        bmp::Layout l;
        l.width = kW;
        l.height = height;
        l.bits = bits;
        l.compression = compression;
        l.infoSize = infoSize;
        std::copy(masks.begin(), masks.end(), l.masks);
        return l;
    };
    const std::array<uint32_t, 4> none{};
    const std::vector<Case> cases = {
        {"555.bmp", layout(16, kH, 0, 40, none),
         [](int x, int y) { return static_cast<uint32_t>((x * 900 + y * 77) & 0x7FFF); }},
        {"565-top-down.bmp", layout(16, -kH, 3, 40, {0xF800, 0x07E0, 0x001F, 0}),
         [](int x, int y) { return static_cast<uint32_t>((x * 1700 + y * 301) & 0xFFFF); }},
        {"24.bmp", layout(24, kH, 0, 40, none), colour},
        {"24-top-down.bmp", layout(24, -kH, 0, 40, none), colour},
        {"24-core.bmp", layout(24, kH, 0, 12, none), colour},
        {"32-alpha-below.bmp", layout(32, kH, 0, 40, none),
         [&](int x, int y) { return colour(x, y) | (y < 20 ? 0u : (x * 9u % 256) << 24); }},
        {"32-no-alpha.bmp", layout(32, kH, 0, 40, none), colour},
        {"32-masks-v5.bmp",
         layout(32, kH, 3, 124, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}),
         [&](int x, int y) { return colour(x, y) | ((x + y) % 4 == 0 ? 0u : 0xFF000000u); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes =
            bmp::Encode(c.layout, bmp::Rows(kW, kH, c.layout.bits, c.layout.height < 0, c.value));
        WriteBytes(dir_.File(c.name), bytes);
        const dxsdl::Image* read = dxsdl::FindImage(Load(c.name));
        ASSERT_NE(nullptr, read);
        std::string reason;
        SDL_Surface* whole = dxsdl::DecodeImageBytes(bytes.data(), bytes.size(), &reason);
        ASSERT_NE(nullptr, whole) << reason;
        dxsdl::Image expected;
        ASSERT_TRUE(dxsdl::MakeImage(whole, Screen()->format->format, &expected, &reason));
        SDL_FreeSurface(whole);
        ASSERT_EQ(expected.width, read->width);
        ASSERT_EQ(expected.height, read->height);
        ASSERT_EQ(expected.pixels.size(), read->pixels.size());
        EXPECT_EQ(0, std::memcmp(expected.pixels.data(), read->pixels.data(), read->pixels.size()));
        EXPECT_EQ(expected.rowSpans, read->rowSpans);
        ASSERT_EQ(expected.spans.size(), read->spans.size());
        for (size_t i = 0; i < read->spans.size(); ++i) {
            EXPECT_EQ(expected.spans[i].start, read->spans[i].start) << i;
            EXPECT_EQ(expected.spans[i].length, read->spans[i].length) << i;
        }
        EXPECT_EQ(expected.opaque, read->opaque);
    }
}

// The budget's line gives true figures: with 8 KiB allowed, a 16 x 32 sprite
// loads, keeping 1284 bytes (1024 of pixels, 128 of runs, 132 of their index
// by row), and a 32 x 32 one is refused with those figures (every figure used
// to be rounded up to whole MiB: "needs 1 MiB ... hold 0 MiB of the 1 MiB").
TEST_F(LoadingTest, TheBudgetsLineGivesTrueFigures) {
    ASSERT_EQ(0, dxDxLib_End());
#ifdef _WIN32
    _putenv_s("DXLIBDLL_IMAGE_BUDGET", "8k");
#else
    setenv("DXLIBDLL_IMAGE_BUDGET", "8k", 1);
#endif
    const int32_t started = dxDxLib_Init();
#ifdef _WIN32
    _putenv_s("DXLIBDLL_IMAGE_BUDGET", "");
#else
    unsetenv("DXLIBDLL_IMAGE_BUDGET");
#endif
    ASSERT_EQ(0, started);
    dxsdl::SetPacingEnabled(false);
    WriteSolidBmp(dir_.File("first.bmp"), 16, 32, Rgba{200, 100, 50, 255});
    WriteSolidBmp(dir_.File("second.bmp"), 32, 32, Rgba{50, 100, 200, 255});
    const int32_t first = Load("first.bmp");
    ASSERT_GE(first, 0);
    EXPECT_EQ(1284u, dxsdl::ImageBytes(*dxsdl::FindImage(first)));
    ExpectRefused(dir_.File("second.bmp"),
                  "the images loaded before it hold 1.25 KiB (1284 bytes) of the 8 KiB allowed");
}

TEST_F(LoadingTest, LoadingBeforeStartUpFails) {
    WriteSolidBmp(dir_.File("early.bmp"), 2, 2, Rgba{255, 0, 0, 255});
    ASSERT_EQ(0, dxDxLib_End());
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(-1, Load("early.bmp"));
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, errors.find("not started")) << errors;
}

#ifdef DXLIBDLL_TESTS_WRITE_PNG

TEST_F(LoadingTest, ReadsPngWithItsTransparency) {
    // Opaque colours, pure black, and a see-through pixel of another colour.
    SDL_Surface* surface = MakeSurface(3, 1, [](int x, int) {
        return x == 0 ? Rgba{200, 100, 50, 255} : x == 1 ? kBlack : Rgba{255, 255, 255, 0};
    });
    ASSERT_EQ(0, IMG_SavePNG(surface, dir_.File("sprite.png").c_str())) << IMG_GetError();
    SDL_FreeSurface(surface);
    WriteSolidBmp(dir_.File("back.bmp"), 3, 1, Rgba{0, 0, 255, 255});
    const int32_t sprite = Load("sprite.png");
    const int32_t back = Load("back.bmp");
    ASSERT_GE(sprite, 0);
    ASSERT_GE(back, 0);
    ASSERT_EQ(0, dxDrawGraph(0, 0, back, 0));
    ASSERT_EQ(0, dxDrawGraph(0, 0, sprite, 1));
    EXPECT_EQ(Mapped(Rgba{200, 100, 50, 255}), PixelAt(0, 0));
    EXPECT_EQ(Mapped(Rgba{0, 0, 255, 255}), PixelAt(1, 0));
    EXPECT_EQ(Mapped(Rgba{0, 0, 255, 255}), PixelAt(2, 0));
    // Without the flag the see-through pixel is drawn black.
    ASSERT_EQ(0, dxDrawGraph(0, 0, sprite, 0));
    EXPECT_EQ(0u, PixelAt(2, 0));
}

TEST_F(LoadingTest, DamagedPngsAreRefused) {
    SDL_Surface* surface = MakeSurface(40, 40, [](int x, int y) {
        return Rgba{static_cast<uint8_t>(x * 6), static_cast<uint8_t>(y * 6), 9, 255};
    });
    ASSERT_EQ(0, IMG_SavePNG(surface, dir_.File("whole.png").c_str()));
    SDL_FreeSurface(surface);
    const uintmax_t size = fs::file_size(dir_.path() / "whole.png");
    fs::copy_file(dir_.path() / "whole.png", dir_.path() / "cut.png");
    fs::resize_file(dir_.path() / "cut.png", size / 2);
    ExpectRefused(dir_.File("cut.png"), "truncated");
    // One byte changed inside the pixel data.
    std::vector<uint8_t> flipped = ReadBytes(dir_.path() / "whole.png");
    flipped[flipped.size() - 20] ^= 0x40;
    WriteBytes(dir_.File("flipped.png"), flipped);
    ExpectRefused(dir_.File("flipped.png"), "checksum");
    // A header claiming 100000 x 100000: refused from the header alone.
    std::vector<uint8_t> bytes(33, 0);
    const uint8_t start[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0,    13,
                             'I',  'H', 'D', 'R', 0,    1,    0x86, 0xA0, 0, 1, 0x86, 0xA0};
    std::copy(std::begin(start), std::end(start), bytes.begin());
    WriteBytes(dir_.File("huge.png"), bytes);
    ExpectRefused(dir_.File("huge.png"), "100000 x 100000");
}

#endif  // DXLIBDLL_TESTS_WRITE_PNG

}  // namespace
}  // namespace dxtest
