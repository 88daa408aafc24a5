// The real game on the real library with one art file broken in each way a
// player's folder can break it. The program runs from a directory of its own,
// so no good art beside it can stand in for the broken file. Each broken file
// costs one line on standard error and a -1 handle that draws nothing; the
// game still draws the rest, moves the player for 100 frames and ends on
// Escape with status 0, and a hostile header never makes it allocate for it.
#include <SDL.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#ifdef DXLIBDLL_TESTS_WRITE_PNG
#include <SDL_image.h>
#endif
#ifdef DXLIBDLL_HAVE_PNG
#include <png.h>
#endif

#include "library_fixture.h"
#include "seed_images.h"

namespace dxtest {
namespace {

constexpr const char* kBroken = "chr25-1.bmp";  // the player's lower half
constexpr long kMemoryLimitKb = 64 * 1024;

enum class Defect {
    NoFolder,
    FolderIsAFile,
    Missing,
    Empty,
    TruncatedHeader,
    TruncatedPixels,
    HugeHeader,
    PngUnderBmpName,
    Directory,
    DanglingLink,
    LinkLoop,
    UnknownCompression,
    DamagedPngData,
    HugeCheckerboardPng,
    LargeNonImage,
    Interlaced16BitPng,
    PixelOffsetInsideHeaders,
    NameInOtherCase
};

// A 4 x 4 PNG whose chunks are whole and whose checksums hold, but whose
// compressed pixels are not valid: only decoding finds it out.
std::vector<uint8_t> PngWithDamagedPixels() {
    std::vector<uint8_t> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto chunk = [&](const char* type, const std::vector<uint8_t>& data) {
        const auto put32 = [&](uint32_t v) {
            for (int shift = 24; shift >= 0; shift -= 8) {
                bytes.push_back(static_cast<uint8_t>(v >> shift));
            }
        };
        put32(static_cast<uint32_t>(data.size()));
        const size_t start = bytes.size();
        bytes.insert(bytes.end(), type, type + 4);
        bytes.insert(bytes.end(), data.begin(), data.end());
        put32(fuzzseed::PngChunkCrc(bytes.data() + start, bytes.size() - start));
    };
    chunk("IHDR", {0, 0, 0, 4, 0, 0, 0, 4, 8, 2, 0, 0, 0});
    // A zlib stream whose one block refers back past its own start.
    chunk("IDAT", {0x78, 0x9C, 0x63, 0xF8, 0xFF, 0x7F, 0x00, 0x01, 0x02, 0x03, 0x00, 0x00});
    chunk("IEND", {});
    return bytes;
}

#ifdef DXLIBDLL_HAVE_PNG
// 8192 x 8192 grey pixels, black and white in turn: some 80 KB of file. Loaded,
// its pixels and the runs of its white ones (a run for every other pixel)
// would hold 256 MiB, decoding it 128 MiB more: past the budget before any of
// it is decoded. Written by a process of its own: the 64 MiB its pixels take
// would stay with this one (the sanitizers keep freed memory a while), and
// the game started from it would seem to take them.
bool WriteCheckerboardPng(const fs::path& path) {
    const pid_t writer = fork();
    if (writer == 0) {
        constexpr size_t kSide = 8192;
        std::vector<uint8_t> pixels(kSide * kSide);
        for (size_t y = 0; y < kSide; ++y) {
            for (size_t x = 0; x < kSide; ++x) {
                pixels[y * kSide + x] = ((x + y) & 1) != 0 ? 255 : 0;
            }
        }
        png_image png{};
        png.version = PNG_IMAGE_VERSION;
        png.width = kSide;
        png.height = kSide;
        png.format = PNG_FORMAT_GRAY;
        const bool written =
            png_image_write_to_file(&png, path.string().c_str(), 0, pixels.data(), 0, nullptr) != 0;
        _exit(written ? 0 : 1);
    }
    int status = 0;
    return writer > 0 && waitpid(writer, &status, 0) == writer && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}
#endif

#ifdef DXLIBDLL_HAVE_PNG
// The BMP at `from` as a PNG of 16 bits a sample, interlaced: each 8-bit
// value v becomes v * 257, which stands for the same colour.
bool WriteInterlaced16BitPng(const fs::path& from, const fs::path& to) {
    SDL_Surface* loaded = SDL_LoadBMP(from.string().c_str());
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB24, 0);
    SDL_FreeSurface(loaded);
    std::FILE* file = std::fopen(to.string().c_str(), "wb");
    if (rgb == nullptr || file == nullptr) {
        SDL_FreeSurface(rgb);
        if (file != nullptr) {
            std::fclose(file);
        }
        return false;
    }
    const auto width = static_cast<size_t>(rgb->w);
    std::vector<uint8_t> samples(static_cast<size_t>(rgb->h) * width * 6);
    std::vector<png_bytep> rows(static_cast<size_t>(rgb->h));
    for (size_t y = 0; y < rows.size(); ++y) {
        rows[y] = samples.data() + y * width * 6;
        const auto* source = static_cast<const uint8_t*>(rgb->pixels) + y * rgb->pitch;
        for (size_t i = 0; i < width * 3; ++i) {
            rows[y][2 * i] = source[i];  // big-endian v * 257
            rows[y][2 * i + 1] = source[i];
        }
    }
    // libpng's default error handling aborts the test: nothing here should fail.
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(rgb->w), static_cast<png_uint_32>(rgb->h), 16,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_ADAM7, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    SDL_FreeSurface(rgb);
    return std::fclose(file) == 0;
}
#endif

void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

struct Outcome {
    int status = -1;
    std::string errors;
    int frames = 0;
    int playerX = 0;
    long peakKb = 0;
    SDL_Surface* lastFrame = nullptr;  // RGB565
};

class BrokenArtTest : public ::testing::TestWithParam<Defect> {
  protected:
    void SetUp() override {
        const fs::path art = fs::path(GAME_ART_DIR);
        ASSERT_TRUE(fs::exists(art / kBroken)) << art;
        fs::copy_file(SCRIPTED_GAME, dir_.path() / "game");
        fs::create_directories(dir_.path() / "report");
        if (GetParam() == Defect::NoFolder) {
            return;
        }
        if (GetParam() == Defect::FolderIsAFile) {
            fs::create_directories(dir_.path() / "resource");
            WriteBytes(dir_.path() / "resource" / "bmp", {'n', 'o', 't', ' ', 'a', ' ', 'f'});
            return;
        }
        const fs::path folder = dir_.path() / "resource" / "bmp";
        fs::create_directories(folder);
        for (const auto& entry : fs::directory_iterator(art)) {
            if (entry.path().filename() != kBroken) {
                fs::create_symlink(entry.path(), folder / entry.path().filename());
            }
        }
        const fs::path broken = folder / kBroken;
        std::vector<uint8_t> good = ReadBytes(art / kBroken);
        ASSERT_GT(good.size(), 154u);
        switch (GetParam()) {
            case Defect::NoFolder:
            case Defect::FolderIsAFile:
            case Defect::Missing:
                break;
            case Defect::Empty:
                WriteBytes(broken, {});
                break;
            case Defect::TruncatedHeader:
                good.resize(20);
                WriteBytes(broken, good);
                break;
            case Defect::TruncatedPixels:
                good.resize(good.size() - 100);
                WriteBytes(broken, good);
                break;
            case Defect::HugeHeader:
                Put32(good, 18, 100000);
                Put32(good, 22, 100000);
                WriteBytes(broken, good);
                break;
            case Defect::PngUnderBmpName: {
#ifdef DXLIBDLL_TESTS_WRITE_PNG
                SDL_Surface* image = SDL_LoadBMP((art / kBroken).string().c_str());
                ASSERT_NE(nullptr, image);
                ASSERT_EQ(0, IMG_SavePNG(image, broken.string().c_str()));
                SDL_FreeSurface(image);
#else
                GTEST_SKIP() << "this build loads no PNG, or has no SDL2_image to write one";
#endif
                break;
            }
            case Defect::Directory:
                fs::create_directory(broken);
                break;
            case Defect::DanglingLink:
                fs::create_symlink(folder / "nowhere.bmp", broken);
                break;
            case Defect::LinkLoop:
                fs::create_symlink(broken, broken);
                break;
            case Defect::UnknownCompression:
                Put32(good, 30, 4);  // pixels said to be a JPEG stream
                WriteBytes(broken, good);
                break;
            case Defect::DamagedPngData:
                WriteBytes(broken, PngWithDamagedPixels());
                break;
            case Defect::HugeCheckerboardPng:
#ifdef DXLIBDLL_HAVE_PNG
                ASSERT_TRUE(WriteCheckerboardPng(broken));
#else
                GTEST_SKIP() << "this build loads no PNG";
#endif
                break;
            case Defect::LargeNonImage:
                // 299 MiB whose first bytes say it is no image (a sparse
                // file: it takes no room on the disk).
                WriteBytes(broken, {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
                fs::resize_file(broken, uintmax_t{299} << 20);
                break;
            case Defect::Interlaced16BitPng:
#ifdef DXLIBDLL_HAVE_PNG
                ASSERT_TRUE(WriteInterlaced16BitPng(art / kBroken, broken));
#else
                GTEST_SKIP() << "this build loads no PNG";
#endif
                break;
            case Defect::PixelOffsetInsideHeaders:
                Put32(good, 10, 30);  // the pixels said to start in the info header
                WriteBytes(broken, good);
                break;
            case Defect::NameInOtherCase:  // copied from Windows
                WriteBytes(folder / "CHR25-1.BMP", good);
                break;
        }
    }

    void TearDown() override {
        SDL_FreeSurface(outcome_.lastFrame);
    }

    // Unpaced: how the game runs, not how fast, is what counts here.
    void Run() {
        const std::string command =
            "cd \"" + dir_.path().string() + "\" && DXLIBDLL_UNPACED=1 ./game report 2>errors.txt";
        const int status = RunMeasuringPeak(command, &outcome_.peakKb);
        ASSERT_TRUE(WIFEXITED(status));
        outcome_.status = WEXITSTATUS(status);
        outcome_.errors = ReadText(dir_.path() / "errors.txt");
        std::ifstream state(dir_.path() / "report" / "state.txt");
        ASSERT_TRUE(state >> outcome_.frames >> outcome_.playerX);
        SDL_Surface* frame =
            SDL_LoadBMP((dir_.path() / "report" / "last-frame.bmp").string().c_str());
        ASSERT_NE(nullptr, frame);
        outcome_.lastFrame = SDL_ConvertSurfaceFormat(frame, SDL_PIXELFORMAT_RGB565, 0);
        SDL_FreeSurface(frame);
        ASSERT_NE(nullptr, outcome_.lastFrame);
    }

    // How many of the sprite's coloured pixels the last frame shows exactly
    // at (left, top), within the drawing area and above the chaser's rows;
    // `looked` counts those looked at.
    int PixelsShown(const char* sprite, int left, int top, int* looked = nullptr) {
        SDL_Surface* loaded = SDL_LoadBMP((fs::path(GAME_ART_DIR) / sprite).string().c_str());
        SDL_Surface* argb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(loaded);
        int same = 0;
        for (int y = 0; y < argb->h; ++y) {
            for (int x = 0; x < argb->w; ++x) {
                uint32_t c;
                std::memcpy(&c, static_cast<uint8_t*>(argb->pixels) + y * argb->pitch + x * 4, 4);
                const int sx = left + x;
                const int sy = top + y;
                if ((c & 0xFFFFFF) == 0 || sx < 100 || sx >= 600 || sy >= 480) {
                    continue;
                }
                if (looked != nullptr) {
                    ++*looked;
                }
                const uint32_t expected = (((c >> 16) & 0xFF) >> 3) << 11 |
                                          (((c >> 8) & 0xFF) >> 2) << 5 | ((c & 0xFF) >> 3);
                uint16_t shown;
                std::memcpy(&shown,
                            static_cast<uint8_t*>(outcome_.lastFrame->pixels) +
                                sy * outcome_.lastFrame->pitch + sx * 2,
                            2);
                same += shown == expected ? 1 : 0;
            }
        }
        SDL_FreeSurface(argb);
        return same;
    }

    TempDir dir_;
    Outcome outcome_;
};

std::string DefectName(const ::testing::TestParamInfo<Defect>& info) {
    static const char* const names[] = {"NoFolder",
                                        "FolderIsAFile",
                                        "Missing",
                                        "Empty",
                                        "TruncatedHeader",
                                        "TruncatedPixels",
                                        "HugeHeader",
                                        "PngUnderBmpName",
                                        "Directory",
                                        "DanglingLink",
                                        "LinkLoop",
                                        "UnknownCompression",
                                        "DamagedPngData",
                                        "HugeCheckerboardPng",
                                        "LargeNonImage",
                                        "Interlaced16BitPng",
                                        "PixelOffsetInsideHeaders",
                                        "NameInOtherCase"};
    return names[static_cast<int>(info.param)];
}

TEST_P(BrokenArtTest, TheGamePlaysOnAndEndsOnEscape) {
    ASSERT_NO_FATAL_FAILURE(Run());
    EXPECT_EQ(0, outcome_.status) << outcome_.errors;
    EXPECT_EQ(101, outcome_.frames);
    EXPECT_EQ(573, outcome_.playerX) << "the player moved for 100 frames";
    EXPECT_LE(outcome_.peakKb, kMemoryLimitKb);

    const long lines = std::count(outcome_.errors.begin(), outcome_.errors.end(), '\n');
    // Every line is the program's own, in this system's way of writing paths:
    // nothing from the libraries it uses.
    std::istringstream each(outcome_.errors);
    for (std::string line; std::getline(each, line);) {
        EXPECT_EQ(0u, line.rfind("game: ", 0)) << line;
        EXPECT_EQ(std::string::npos, line.find('\\')) << line;
    }
    if (GetParam() == Defect::NoFolder || GetParam() == Defect::FolderIsAFile) {
        EXPECT_EQ(1, lines) << "one line for the missing folder: " << outcome_.errors;
        EXPECT_NE(std::string::npos, outcome_.errors.find("/share/chaser)"))
            << "every place looked in: " << outcome_.errors;
        if (GetParam() == Defect::FolderIsAFile) {
            EXPECT_NE(std::string::npos, outcome_.errors.find("is a file, not a folder"))
                << outcome_.errors;
        }
        EXPECT_EQ(0, PixelsShown("chr25-2.bmp", 573, 250));
        return;
    }
    // The player's upper half is drawn whatever became of the lower.
    EXPECT_GT(PixelsShown("chr25-2.bmp", 573, 250), 100);
    if (GetParam() == Defect::PngUnderBmpName) {
        EXPECT_EQ(0, lines) << outcome_.errors;
        EXPECT_GT(PixelsShown(kBroken, 573, 400), 100) << "a valid image loads whatever its name";
        return;
    }
    if (GetParam() == Defect::Interlaced16BitPng) {
        // Every pixel exact: libpng's simplified reader got about half of
        // them wrong, without a word.
        EXPECT_EQ(0, lines) << outcome_.errors;
        int looked = 0;
        EXPECT_EQ(PixelsShown(kBroken, 573, 400, &looked), looked);
        EXPECT_GT(looked, 100);
        return;
    }
    EXPECT_EQ(1, lines) << outcome_.errors;
    EXPECT_NE(std::string::npos, outcome_.errors.find(kBroken)) << outcome_.errors;
    if (GetParam() == Defect::HugeCheckerboardPng) {
        EXPECT_NE(std::string::npos, outcome_.errors.find("allowed (DXLIBDLL_IMAGE_BUDGET)"))
            << outcome_.errors;
    }
    if (GetParam() == Defect::NameInOtherCase) {
        EXPECT_NE(std::string::npos,
                  outcome_.errors.find("\"resource/bmp/CHR25-1.BMP\" differs from it only in "
                                       "letter case"))
            << outcome_.errors;
    }
    if (GetParam() == Defect::PixelOffsetInsideHeaders) {
        // It used to be drawn as noise, the headers read as its pixels.
        EXPECT_NE(std::string::npos, outcome_.errors.find("pixel offset (bfOffBits) is 30"))
            << outcome_.errors;
    }
    EXPECT_EQ(0, PixelsShown(kBroken, 573, 400)) << "a failed load draws nothing";
}

INSTANTIATE_TEST_SUITE_P(
    EachDefect, BrokenArtTest,
    ::testing::Values(Defect::NoFolder, Defect::FolderIsAFile, Defect::Missing, Defect::Empty,
                      Defect::TruncatedHeader, Defect::TruncatedPixels, Defect::HugeHeader,
                      Defect::PngUnderBmpName, Defect::Directory, Defect::DanglingLink,
                      Defect::LinkLoop, Defect::UnknownCompression, Defect::DamagedPngData,
                      Defect::HugeCheckerboardPng, Defect::LargeNonImage,
                      Defect::Interlaced16BitPng, Defect::PixelOffsetInsideHeaders,
                      Defect::NameInOtherCase),
    DefectName);

}  // namespace
}  // namespace dxtest
#endif  // _WIN32
