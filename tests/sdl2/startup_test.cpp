// Starting and stopping: modes, calls out of turn, the window, starting with
// no display, and the shared library's exports.
#include <cstdlib>

#include "emulation.h"
#include "library_fixture.h"

#ifndef _WIN32
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>
#endif

namespace dxtest {
namespace {

TEST(StartupTest, OnlySixteenAndThirtyTwoBitModesOfSensibleSizes) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(-1, dxSetGraphMode(640, 480, 24, 60));
    EXPECT_EQ(-1, dxSetGraphMode(640, 480, 8, 60));
    EXPECT_EQ(-1, dxSetGraphMode(0, 480, 16, 60));
    EXPECT_EQ(-1, dxSetGraphMode(640, -1, 16, 60));
    EXPECT_EQ(-1, dxSetGraphMode(8193, 480, 16, 60));
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, errors.find("640 x 480 x 24")) << errors;

    ASSERT_EQ(0, dxSetGraphMode(320, 200, 32, 60));
    ASSERT_EQ(0, dxDxLib_Init());
    EXPECT_EQ(320, dxsdl::BackBuffer()->w);
    EXPECT_EQ(200, dxsdl::BackBuffer()->h);
    EXPECT_EQ(static_cast<uint32_t>(SDL_PIXELFORMAT_RGB888), dxsdl::BackBuffer()->format->format);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(-1, dxSetGraphMode(640, 480, 16, 60)) << "not while running";
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(320, dxsdl::BackBuffer()->w);
    EXPECT_EQ(0, dxDxLib_End());

    ASSERT_EQ(0, dxSetGraphMode(640, 480, 16, 60));
    ASSERT_EQ(0, dxDxLib_Init());
    EXPECT_EQ(static_cast<uint32_t>(SDL_PIXELFORMAT_RGB565), dxsdl::BackBuffer()->format->format);
    EXPECT_EQ(0, dxDxLib_End());
}

TEST(StartupTest, CallsBeforeStartUpFailHarmlessly) {
    ASSERT_FALSE(dxsdl::Started());
    EXPECT_EQ(-1, dxProcessMessage());
    EXPECT_EQ(-1, dxScreenFlip());
    EXPECT_EQ(-1, dxClearDrawScreen());
    EXPECT_EQ(-1, dxDrawGraph(0, 0, 0, 1));
    EXPECT_EQ(-1, dxDxLib_End());
    EXPECT_EQ(0, dxCheckHitKey(1));
    EXPECT_EQ(0, dxGetJoypadInputState(4097));
    EXPECT_EQ(nullptr, dxsdl::BackBuffer());
    EXPECT_EQ(nullptr, dxsdl::VideoWindow());
}

TEST(StartupTest, StartsAgainAfterShutDown) {
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(0, dxSetGraphMode(640, 480, 16, 60));
        ASSERT_EQ(0, dxDxLib_Init()) << "round " << round;
        EXPECT_EQ(0, dxDxLib_Init()) << "a second start changes nothing";
        EXPECT_EQ(0, dxProcessMessage());
        EXPECT_EQ(0, dxDxLib_End());
        EXPECT_EQ(nullptr, dxsdl::BackBuffer());
    }
}

using DrawScreenTest = LibraryTest;

TEST_F(DrawScreenTest, OnlyTheBackBufferIsADrawingTarget) {
    EXPECT_EQ(0, dxSetDrawScreen(-2));
    EXPECT_EQ(-1, dxSetDrawScreen(-1));
    EXPECT_EQ(-1, dxSetDrawScreen(-4));
    EXPECT_EQ(-1, dxSetDrawScreen(0));
}

TEST_F(DrawScreenTest, WindowIsResizableHighDpiAndDrawnDirectlyHere) {
    SDL_Window* window = dxsdl::VideoWindow();
    ASSERT_NE(nullptr, window);
    const Uint32 flags = SDL_GetWindowFlags(window);
    EXPECT_NE(0u, flags & SDL_WINDOW_RESIZABLE);
    EXPECT_NE(0u, flags & SDL_WINDOW_ALLOW_HIGHDPI);
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window, &width, &height);
    // The offscreen display is 1024x768: a factor of 2 would not fit.
    EXPECT_EQ(640, width);
    EXPECT_EQ(480, height);
    EXPECT_EQ(nullptr, dxsdl::VideoRenderer())
        << "SDL_FRAMEBUFFER_ACCELERATION=0: the window's framebuffer, no renderer";
}

#ifndef _WIN32

// SDL keeps global state: the start without a display runs in a process of
// its own. SDL would fall back to its offscreen driver there, which nobody
// can see.
TEST(NoDisplayDeathTest, StartFailsSayingThereIsNoDisplay) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("SDL_VIDEODRIVER");
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            std::exit(dxSetGraphMode(640, 480, 16, 60) == 0 && dxDxLib_Init() == -1 &&
                              !dxsdl::Started()
                          ? 0
                          : 1);
        },
        ::testing::ExitedWithCode(0), ": cannot start: no display");
}

TEST(NoDisplayDeathTest, AskingForTheOffscreenDriverByNameStarts) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("SDL_VIDEODRIVER", "x11,offscreen", 1);
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            const bool started = dxDxLib_Init() == 0;
            const bool ended = dxDxLib_End() == 0;
            std::exit(started && ended ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

#ifdef CHASER_GAME
// The player sees one line, the game's own: no backend that cannot work is
// probed, so no system library speaks first. Without any display, and with a
// Wayland display named whose socket is not there: no XDG_RUNTIME_DIR to find
// it in (the Wayland library used to print its own line first), an empty
// one, or a path to nothing.
TEST(NoDisplayTest, TheGameEndsWithStatus255AndOneLine) {
    TempDir dir;
    const std::string errors = dir.File("errors.txt");
    fs::create_directories(dir.path() / "runtime");
    const std::string noX =
        "env -u SDL_VIDEODRIVER -u DISPLAY -u WAYLAND_DISPLAY -u WAYLAND_SOCKET ";
    const std::string environments[] = {
        noX + "-u XDG_RUNTIME_DIR",
        noX + "-u XDG_RUNTIME_DIR WAYLAND_DISPLAY=wayland-9",
        noX + "XDG_RUNTIME_DIR=" + dir.File("runtime") + " WAYLAND_DISPLAY=wayland-9",
        noX + "-u XDG_RUNTIME_DIR WAYLAND_DISPLAY=" + dir.File("no-socket"),
    };
    for (const std::string& environment : environments) {
        SCOPED_TRACE(environment);
        EXPECT_EQ(255, RunShell(environment + " \"" + CHASER_GAME + "\" 2>\"" + errors + "\""));
        const std::string shown = ReadText(errors);
        EXPECT_EQ(1, std::count(shown.begin(), shown.end(), '\n')) << shown;
        EXPECT_EQ(0u, shown.rfind("chaser: cannot start: no display (", 0)) << shown;
    }
}

// The real game, headless, started as `prefix` CHASER_GAME (nohup, say),
// with descriptor 0 closed when asked, and the usual quit signals.
pid_t SpawnGame(std::vector<std::string> prefix, bool closeStdin = false) {
    prefix.push_back(CHASER_GAME);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (closeStdin) {
        posix_spawn_file_actions_addclose(&actions, 0);
    }
    const pid_t game = Spawn(prefix, &actions);
    posix_spawn_file_actions_destroy(&actions);
    return game;
}

// The real game, as SpawnGame starts it, once it has shown its first frame:
// its frames' digests go to a file in `dir`, which then holds a line.
pid_t SpawnPlayingGame(const TempDir& dir, std::vector<std::string> prefix = {}) {
    SetVariable("DXLIBDLL_DIGESTS", dir.File("digests"));
    const pid_t game = SpawnGame(std::move(prefix));
    SetVariable("DXLIBDLL_DIGESTS", "");
    if (game > 0 && !WaitUntil(
                        [&] {
                            return fs::exists(dir.path() / "digests") &&
                                   fs::file_size(dir.path() / "digests") > 0;
                        },
                        20s)) {
        ADD_FAILURE() << "the game showed no frame within 20 s";
    }
    return game;
}

// Its status when it ends within 10 s; killed and a failure otherwise.
int EndStatus(pid_t game) {
    const std::optional<int> status = EndedOrKilled(game, 10s);
    if (!status) {
        ADD_FAILURE() << "the game did not end within 10 s";
    }
    return status.value_or(-1);
}

// Ctrl-C in the terminal, the session ending, or the terminal closed while
// the game plays: the signal becomes a quit request and the game ends through
// its own loop.
TEST(RealGameSignalTest, InterruptOrTerminateDuringPlayEndsWithStatusZero) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        // In its frame loop when the signal comes.
        TempDir dir;
        const pid_t game = SpawnPlayingGame(dir);
        ASSERT_GT(game, 0);
        ASSERT_EQ(0, kill(game, signal));
        const int status = EndStatus(game);
        ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal << " killed the game";
        EXPECT_EQ(0, WEXITSTATUS(status)) << "signal " << signal;
    }
}

// Started by nohup, which ignores SIGHUP for it, the game plays on through a
// SIGHUP (it used to end), and SIGTERM still ends it with 0.
TEST(RealGameSignalTest, ASignalTheCallerIgnoresStaysIgnored) {
    TempDir dir;
    const pid_t game = SpawnPlayingGame(dir, {"nohup"});
    ASSERT_GT(game, 0);
    ASSERT_EQ(0, kill(game, SIGHUP));
    const std::optional<int> early = EndedWithin(game, 500ms);
    EXPECT_FALSE(early) << "ended on SIGHUP with status " << early.value_or(0);
    if (early) {
        return;
    }
    ASSERT_EQ(0, kill(game, SIGTERM));
    const int status = EndStatus(game);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(0, WEXITSTATUS(status));
}

// A SIGTERM from the program's first step on ends the game with 0: at once
// after that step (seen here as the /dev/null it opens on the standard input
// it was started without), and a little later, while the library starts and
// the art loads. It used to kill the game (143) until the library had
// started. Before the first step, while the system loads the program and its
// libraries, no code of the program runs to take a signal.
TEST(RealGameSignalTest, ASignalDuringStartUpEndsWithStatusZero) {
    // The moment the first step has run is seen only because posix_spawn
    // returns once the game has replaced the spawning child. qemu forks where
    // the system would share the parent's memory and wait (vfork), so the
    // spawn returns at once: the child still has this program's standard
    // input, which may be /dev/null itself, and the signal lands before the
    // game exists.
    if (const std::string emulator = EmulatorName(); !emulator.empty()) {
        GTEST_SKIP() << "under " << emulator
                     << " posix_spawn returns before the game starts, so its first step cannot "
                        "be told apart";
    }
    for (const auto delay : {0us, 1000us, 3000us, 10000us, 30000us}) {
        SCOPED_TRACE(std::to_string(delay.count()) + " us after the first step");
        const pid_t game = SpawnGame({}, true);
        ASSERT_GT(game, 0);
        const std::string input = "/proc/" + std::to_string(game) + "/fd/0";
        // Asked as often as the system lets: the signal should come as soon
        // after the step as it can.
        const auto giveUp = std::chrono::steady_clock::now() + 10s;
        char target[64] = {};
        while (std::chrono::steady_clock::now() < giveUp) {
            const ssize_t length = readlink(input.c_str(), target, sizeof target - 1);
            if (length > 0 &&
                std::string_view(target, static_cast<size_t>(length)) == "/dev/null") {
                break;
            }
            std::this_thread::sleep_for(20us);
        }
        std::this_thread::sleep_for(delay);
        ASSERT_EQ(0, kill(game, SIGTERM));
        const int status = EndStatus(game);
        ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
        EXPECT_EQ(0, WEXITSTATUS(status));
    }
}
#endif

#endif  // _WIN32

}  // namespace
}  // namespace dxtest
