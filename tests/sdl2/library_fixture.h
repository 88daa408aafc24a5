// Shared pieces of the graphics library's tests: a started library with a
// 640x480 back buffer, images written to a temporary directory, and reading
// the back buffer's pixels.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#endif

#include "bmp_writer.h"
#include "dxlibdll.h"
#include "exports.h"

namespace dxtest {

namespace fs = std::filesystem;

struct Rgba {
    uint8_t r, g, b, a;
};
constexpr Rgba kBlack{0, 0, 0, 255};

// A directory of its own for one test, removed afterwards.
class TempDir {
  public:
    TempDir() {
        // Unique across the parallel test processes ctest runs.
        static int serial = 0;
        path_ = fs::temp_directory_path() /
                ("dxlibdll_sdl2_test_" + std::to_string(SDL_GetPerformanceCounter()) + "_" +
                 std::to_string(++serial));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};

// An ARGB8888 surface of w x h filled by colourAt(x, y); the caller frees it.
inline SDL_Surface* MakeSurface(int w, int h, const std::function<Rgba(int, int)>& colourAt) {
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Rgba c = colourAt(x, y);
            const uint32_t pixel = SDL_MapRGBA(surface->format, c.r, c.g, c.b, c.a);
            std::memcpy(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch + x * 4, &pixel,
                        4);
        }
    }
    return surface;
}

// A 24-bit BMP (SDL writes surfaces without alpha that way).
inline void WriteBmp24(const std::string& path, int w, int h,
                       const std::function<Rgba(int, int)>& colourAt) {
    SDL_Surface* argb = MakeSurface(w, h, colourAt);
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(argb, SDL_PIXELFORMAT_RGB888, 0);
    ASSERT_EQ(0, SDL_SaveBMP(rgb, path.c_str())) << SDL_GetError();
    SDL_FreeSurface(rgb);
    SDL_FreeSurface(argb);
}

// A solid colour image.
inline void WriteSolidBmp(const std::string& path, int w, int h, Rgba colour) {
    WriteBmp24(path, w, h, [&](int, int) { return colour; });
}

// An uncompressed BMP written byte by byte: 1, 4 or 8 bits with a palette, or
// 24 or 32 bits (BGR(A)). `index` gives a palette index (or, for 24/32 bits, a
// value 0xAARRGGBB) per pixel; rows are stored bottom-up.
inline std::vector<uint8_t> BmpBytes(int w, int h, int bits, const std::vector<Rgba>& palette,
                                     const std::function<uint32_t(int, int)>& value) {
    bmp::Layout layout;
    layout.width = w;
    layout.height = h;
    layout.bits = bits;
    for (size_t i = 0; bits <= 8 && i < palette.size(); ++i) {
        layout.palette.push_back((static_cast<uint32_t>(palette[i].r) << 16) |
                                 (static_cast<uint32_t>(palette[i].g) << 8) | palette[i].b);
    }
    return bmp::Encode(layout, bmp::Rows(w, h, bits, false, value));
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file) << path;
    if (!bytes.empty()) {
        ASSERT_EQ(bytes.size(), std::fwrite(bytes.data(), 1, bytes.size(), file));
    }
    std::fclose(file);
}

// A started library (640x480, the given depth) with pacing off, so frames
// cost no waiting; shut down after each test.
class LibraryTest : public ::testing::Test {
  protected:
    virtual int32_t Bits() const { return 16; }

    void SetUp() override {
        ASSERT_EQ(0, dxSetGraphMode(640, 480, Bits(), 60));
        ASSERT_EQ(0, dxDxLib_Init());
        dxsdl::SetPacingEnabled(false);
        ASSERT_EQ(0, dxSetDrawScreen(-2));
    }
    void TearDown() override {
        dxsdl::SetPacingEnabled(true);
        if (dxsdl::Started()) {
            EXPECT_EQ(0, dxDxLib_End());
        }
    }

    static SDL_Surface* Screen() { return dxsdl::BackBuffer(); }

    // The back buffer's raw pixel value at (x, y).
    static uint32_t PixelAt(int x, int y) {
        SDL_Surface* s = Screen();
        const uint8_t* p =
            static_cast<const uint8_t*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
        if (s->format->BytesPerPixel == 2) {
            uint16_t v;
            std::memcpy(&v, p, 2);
            return v;
        }
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v & 0x00FFFFFF;
    }

    // What SDL makes of a colour in the back buffer's format.
    static uint32_t Mapped(Rgba c) { return SDL_MapRGB(Screen()->format, c.r, c.g, c.b); }

    // The number of pixels that are not black.
    static int NonBlackPixels() {
        int count = 0;
        for (int y = 0; y < Screen()->h; ++y) {
            for (int x = 0; x < Screen()->w; ++x) {
                count += PixelAt(x, y) != 0 ? 1 : 0;
            }
        }
        return count;
    }

    // Loads a file written into the test's directory.
    int32_t Load(const std::string& name) { return dxLoadGraph(dir_.File(name).c_str(), 0); }

    TempDir dir_;
};

#ifndef _WIN32
// Spawn attributes giving SIGINT, SIGTERM and SIGHUP their usual handling in
// the child, as in a game started from a terminal, whatever the test's own (a
// shell script's background job ignores SIGINT, and the game keeps what its
// caller ignores). The caller destroys them.
inline void UsualQuitSignals(posix_spawnattr_t* attributes) {
    posix_spawnattr_init(attributes);
    sigset_t usual;
    sigemptyset(&usual);
    sigaddset(&usual, SIGINT);
    sigaddset(&usual, SIGTERM);
    sigaddset(&usual, SIGHUP);
    posix_spawnattr_setsigdefault(attributes, &usual);
    posix_spawnattr_setflags(attributes, POSIX_SPAWN_SETSIGDEF);
}

// Runs a shell command and gives its wait status and the peak resident size
// of what it ran, in kilobytes. The command runs from a process forked for
// it, whose own count of its children's peak starts afresh: the test
// process's count is the largest of every child it ever had, whichever test
// ran it.
inline int RunMeasuringPeak(const std::string& command, long* peakKb) {
    int channel[2];
    if (pipe(channel) != 0) {
        return -1;
    }
    const pid_t runner = fork();
    if (runner == 0) {
        close(channel[0]);
        long report[2] = {std::system(command.c_str()), 0};
        rusage usage{};
        getrusage(RUSAGE_CHILDREN, &usage);
        report[1] = usage.ru_maxrss;
        const ssize_t written = write(channel[1], report, sizeof report);
        _exit(written == static_cast<ssize_t>(sizeof report) ? 0 : 1);
    }
    close(channel[1]);
    long report[2] = {-1, 0};
    const ssize_t got = runner > 0 ? read(channel[0], report, sizeof report) : 0;
    close(channel[0]);
    if (runner > 0) {
        waitpid(runner, nullptr, 0);
    }
    *peakKb = got == static_cast<ssize_t>(sizeof report) ? report[1] : 0;
    return got == static_cast<ssize_t>(sizeof report) ? static_cast<int>(report[0]) : -1;
}

// An Xvfb of its own, on a display number it picks itself, of `depth` bits a
// pixel.
class VirtualDisplay {
  public:
    VirtualDisplay(int width, int height, int depth = 24) {
        int channel[2];
        if (pipe(channel) != 0) {
            return;
        }
        const std::string screen =
            std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(depth);
        pid_ = fork();
        if (pid_ == 0) {
            close(channel[0]);
            const std::string fd = std::to_string(channel[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(channel[1]);
        // Xvfb writes the number and the line's end separately, and ends
        // itself if the second write finds the pipe closed: read to the end
        // of the line.
        char c = 0;
        while (pid_ > 0 && name_.size() < 16) {
            const ssize_t got = read(channel[0], &c, 1);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0 || c == '\n') {
                break;
            }
            name_ += c;
        }
        close(channel[0]);
        if (!name_.empty()) {
            name_.insert(0, ":");
        }
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // Empty when Xvfb could not be started.
    const std::string& name() const { return name_; }

  private:
    pid_t pid_ = -1;
    std::string name_;
};
#endif

}  // namespace dxtest
