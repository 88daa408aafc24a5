// The real game on the real library under faults a player's machine can
// produce: a display that stops answering while signals arrive, and art that
// would need more memory than the machine gives.
#include <SDL.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "art_names.h"
#include "emulation.h"
#include "library_fixture.h"

namespace dxtest {
namespace {

using namespace std::chrono_literals;

// A game held inside frame 5 for good (the frame hook never returns, as a
// frozen display would hold it) is sent `signals`, `gap` apart, once it says
// it is frozen; its wait status, and in `took` the time from the first signal
// to its end.
int FrozenGameStatus(std::initializer_list<int> signals, std::chrono::milliseconds gap = 100ms,
                     std::chrono::steady_clock::duration* took = nullptr) {
    TempDir dir;
    const std::string report = dir.File("report");
    fs::create_directories(report);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    SetVariable("SCRIPTED_GAME_FREEZE_AT", "5");
    const pid_t game = Spawn({SCRIPTED_GAME, report}, &actions);
    SetVariable("SCRIPTED_GAME_FREEZE_AT", "");
    posix_spawn_file_actions_destroy(&actions);
    if (game < 0) {
        ADD_FAILURE() << "cannot start the game";
        return -1;
    }
    if (!WaitUntil([&] { return fs::exists(dir.path() / "report" / "frozen"); }, 20s)) {
        ADD_FAILURE() << "the game never reached frame 5";
    }
    const auto first = std::chrono::steady_clock::now();
    for (int signal : signals) {
        kill(game, signal);
        std::this_thread::sleep_for(gap);
    }
    const std::optional<int> status = EndedOrKilled(game, 10s);
    if (took != nullptr) {
        *took = std::chrono::steady_clock::now() - first;
    }
    if (!status) {
        ADD_FAILURE() << "the frozen game was still running 10 s after the signals";
    }
    return status.value_or(-1);
}

TEST(FrozenGameTest, AnUnansweredSignalEndsTheGameAsThatSignal) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        const int status = FrozenGameStatus({signal});
        ASSERT_TRUE(WIFSIGNALED(status)) << "signal " << signal << ", status " << status;
        EXPECT_EQ(signal, WTERMSIG(status));
    }
}

TEST(FrozenGameTest, ASecondSignalEndsTheGameAtOnce) {
    std::chrono::steady_clock::duration took{};
    const int status = FrozenGameStatus({SIGINT, SIGINT}, 100ms, &took);
    // Well before the two seconds an unanswered first signal is given.
    EXPECT_LT(took, 1900ms);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(SIGINT, WTERMSIG(status));
}

// Closing a terminal sends SIGHUP twice, milliseconds apart (the kernel's,
// then the shell's passed on): one request, so the frozen game is given its
// two seconds rather than ended at once as by a second request.
TEST(FrozenGameTest, TheSameSignalTwiceWithinMillisecondsIsOneRequest) {
    std::chrono::steady_clock::duration sinceSignal{};
    const int status = FrozenGameStatus({SIGHUP, SIGHUP}, 5ms, &sinceSignal);
    EXPECT_GE(sinceSignal, 1900ms);
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(SIGHUP, WTERMSIG(status));
}

// A BMP of 120 bytes that declares 8192 x 8192 pixels, run-length coded: one
// white palette entry, and an end-of-image code at once, so every pixel is
// entry 0. Loaded, it would hold 128 MiB on a 16-bit screen.
[[maybe_unused]] std::vector<uint8_t> HostileRleBmp() {
    std::vector<uint8_t> bytes(120, 0);
    const auto put16 = [&](size_t at, uint32_t v) {
        bytes[at] = static_cast<uint8_t>(v);
        bytes[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    const auto put32 = [&](size_t at, uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(2, 120);
    put32(10, 14 + 40 + 4 * 2);  // pixels after two palette entries
    put32(14, 40);
    put32(18, 8192);
    put32(22, 8192);
    put16(26, 1);
    put16(28, 8);
    put32(30, 1);  // run-length coded, 8 bits
    put32(34, 120 - 62);
    put32(46, 2);           // colours used
    put32(54, 0x00FFFFFF);  // entry 0: white
    bytes[62] = 0;          // end of image
    bytes[63] = 1;
    return bytes;
}

// The game's files are such BMPs and the game runs with its address space
// limited to room for itself and three such images: with the usual budget,
// all 408 are huge and the budget refuses all but the first; with a budget
// past the limit, the first eight are huge (the rest missing) and the
// allocations fail. Either way each refused load gives -1 and the first few a
// line, the game plays its 100 frames and ends with status 0, never killed by
// a failed allocation; with the budget its peak stays far below the limit.
TEST(HostileArtTest, HugeImagesUnderAMemoryLimit) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit a limited address space";
#else
    const std::vector<uint8_t> bmp = HostileRleBmp();
    for (const char* budget : {"", "8G"}) {
        SCOPED_TRACE(std::string("DXLIBDLL_IMAGE_BUDGET=") + budget);
        TempDir dir;
        const fs::path folder = dir.path() / "resource" / "bmp";
        fs::create_directories(folder);
        fs::create_directories(dir.path() / "report");
        fs::copy_file(SCRIPTED_GAME, dir.path() / "game");
        const std::vector<std::string> names = artgen::ArtFileNames();
        const size_t hostile = *budget == '\0' ? names.size() : 8;
        for (size_t i = 0; i < hostile; ++i) {
            WriteBytes(folder / names[i], bmp);
        }
        const std::string command = "cd \"" + dir.path().string() +
                                    "\" && ulimit -v 600000 && DXLIBDLL_IMAGE_BUDGET=" + budget +
                                    " DXLIBDLL_UNPACED=1 ./game report 2>errors.txt";
        long peakKb = 0;
        const int status = RunMeasuringPeak(command, &peakKb);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        const std::string text = ReadText(dir.path() / "errors.txt");
        EXPECT_EQ(0, WEXITSTATUS(status)) << text;
        int frames = 0;
        int playerX = 0;
        std::ifstream state(dir.path() / "report" / "state.txt");
        ASSERT_TRUE(state >> frames >> playerX) << text;
        EXPECT_EQ(101, frames);
        EXPECT_EQ(573, playerX);
        const long lines = std::count(text.begin(), text.end(), '\n');
        EXPECT_GE(lines, 1) << "the refused images are reported";
        EXPECT_LE(lines, dxsdl::kListedFailures + 1) << "the first few, then a count: " << text;
        if (*budget == '\0') {
            EXPECT_LE(peakKb, 400L * 1024) << "peak resident kilobytes";
        }
    }
#endif
}

// The game with its own art, its address space limited to `limitKb`, on the
// video driver asked for, recording to a file that held an earlier recording.
struct LimitedRun {
    int status = -1;
    std::string errors;
    int frames = 0;
    int playerX = 0;
    int failedLoads = -1;
};

constexpr const char* kEarlierRecording = "chaser-replay 1\n0 0 205\n";

[[maybe_unused]] LimitedRun RunWithin(const fs::path& folder, long limitKb,
                                      const std::string& driver) {
    std::ofstream(folder / "earlier.replay", std::ios::binary) << kEarlierRecording;
    fs::remove(folder / "report" / "state.txt");
    const std::string command =
        "cd \"" + folder.string() + "\" && ulimit -v " + std::to_string(limitKb) +
        " && SDL_VIDEODRIVER=" + driver +
        " DXLIBDLL_IMAGE_BUDGET=8G DXLIBDLL_RECORD=earlier.replay DXLIBDLL_UNPACED=1 "
        "timeout 20 ./game report 2>errors.txt";
    LimitedRun run;
    run.status = RunShell(command);
    run.errors = ReadText(folder / "errors.txt");
    int ignored = 0;
    std::ifstream state(folder / "report" / "state.txt");
    state >> run.frames >> run.playerX >> ignored >> ignored >> ignored >> run.failedLoads;
    return run;
}

// The game's art loads in an address space barely large enough for the game
// to start and a little more, so that memory runs short while it loads, at
// one point or another of it, limit after limit. Every time, the failed loads get the first five
// lines and then a line with the right count of the rest, whatever memory is
// left to write them with, and the game plays on to its end (before, up to
// 347 lines came, and on X11 the display's library ended the game with status
// 1 for want of the memory the loads had taken). A start the limit fails ends
// with 255 and one line, and leaves the recording named as it was.
TEST(OutOfMemoryTest, LoadsThatRunOutKeepTheFirstFiveLinesAndTheGamePlaysOn) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit a limited address space";
#else
    // An emulator shares the game's address space, and its own part comes
    // first: qemu takes 128 MiB for translated code before the game's first
    // instruction, and under a limit below that it cannot start at all, so the
    // limits here would find where qemu fails, never where the game does.
    if (const std::string emulator = EmulatorName(); !emulator.empty()) {
        GTEST_SKIP() << "under " << emulator
                     << " an address-space limit holds the emulator's own memory, not the game's";
    }
    TempDir dir;
    const fs::path folder = dir.path();
    fs::create_directories(folder / "resource" / "bmp");
    fs::create_directories(folder / "report");
    fs::copy_file(SCRIPTED_GAME, folder / "game");
    for (const auto& entry : fs::directory_iterator(GAME_ART_DIR)) {
        fs::create_symlink(entry.path(), folder / "resource" / "bmp" / entry.path().filename());
    }
    VirtualDisplay display(1280, 1024);
    std::vector<std::string> drivers = {"offscreen"};
    if (!display.name().empty()) {
        setenv("DISPLAY", display.name().c_str(), 1);
        drivers.push_back("x11");
    }
    for (const std::string& driver : drivers) {
        SCOPED_TRACE(driver);
        // The least limit the game starts within, to a quarter of a megabyte.
        long fails = 8000;
        long starts = 400000;
        ASSERT_EQ(0, RunWithin(folder, starts, driver).status);
        while (starts - fails > 250) {
            const long middle = (fails + starts) / 2;
            (RunWithin(folder, middle, driver).status == 255 ? fails : starts) = middle;
        }
        int ranOut = 0;
        // From where the start fails to where all the art loads: loading
        // leaves 16 MiB for the game to play on, and the art takes about 2.
        for (long limit = starts - 1000; limit <= starts + 22000; limit += 1500) {
            SCOPED_TRACE("ulimit -v " + std::to_string(limit));
            const LimitedRun run = RunWithin(folder, limit, driver);
            const long lines = std::count(run.errors.begin(), run.errors.end(), '\n');
            if (run.status == 255) {
                EXPECT_EQ(1, lines) << run.errors;
                EXPECT_EQ(kEarlierRecording, ReadText(folder / "earlier.replay"));
                continue;
            }
            ASSERT_EQ(0, run.status) << run.errors;
            EXPECT_EQ(101, run.frames);
            EXPECT_EQ(573, run.playerX);
            EXPECT_LE(lines, dxsdl::kListedFailures + 1) << run.errors;
            // The lines count every failed load: the listed ones, and the
            // number the last line gives.
            const long listed = [&] {
                long count = 0;
                for (size_t at = run.errors.find("cannot load image \""); at != std::string::npos;
                     at = run.errors.find("cannot load image \"", at + 1)) {
                    ++count;
                }
                return count;
            }();
            const size_t more = run.errors.find(" more image");
            const long unlisted =
                more == std::string::npos
                    ? 0
                    : std::stol(run.errors.substr(run.errors.rfind(": ", more) + 2));
            EXPECT_EQ(run.failedLoads, listed + unlisted) << run.errors;
            ranOut += run.failedLoads > 0 ? 1 : 0;
        }
        EXPECT_GT(ranOut, 0) << "memory never ran out while loading: the limits prove nothing";
    }
#endif
}

}  // namespace
}  // namespace dxtest
#endif  // _WIN32
