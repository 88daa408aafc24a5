// Quit signals in a process of the test's own, on the library itself: what
// is never answered is passed on at shut-down, the watchdog leaves a game
// that gives signs of life alone, and a call the signal interrupts goes on.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

#include "library_fixture.h"

namespace dxtest {
namespace {

using namespace std::chrono_literals;

void Start() {
    if (dxSetGraphMode(640, 480, 16, 60) != 0 || dxDxLib_Init() != 0) {
        std::_Exit(100);
    }
    dxsdl::SetPacingEnabled(false);
}

// Every `step`, for `length`, what a working game does.
void For(std::chrono::milliseconds length, std::chrono::milliseconds step, void (*work)()) {
    const auto end = std::chrono::steady_clock::now() + length;
    while (std::chrono::steady_clock::now() < end) {
        work();
        std::this_thread::sleep_for(step);
    }
}

TEST(QuitSignalTest, OneNeverAnsweredIsPassedOnAtShutDown) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Start();
            std::raise(SIGTERM);
            dxDxLib_End();
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGTERM), "");
}

// A game that loads its art for longer than two seconds after the signal,
// then answers it and goes on with frames (asking whether the player really
// wants to quit, say) for longer again, is never cut off; and after
// shut-down no alarm is left to end it.
TEST(QuitSignalTest, AGameThatGivesSignsOfLifeIsNeverCutOff) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Start();
            std::raise(SIGTERM);
            For(2300ms, 100ms, [] { dxLoadGraph("no-such-image.bmp", 0); });
            if (dxProcessMessage() != -1) {
                std::_Exit(101);
            }
            For(2300ms, 100ms, [] { dxProcessMessage(); });
            dxDxLib_End();
            std::this_thread::sleep_for(2100ms);
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(3), "");
}

// A read waiting on a pipe when the signal comes goes on and gets its byte,
// rather than failing with EINTR.
TEST(QuitSignalTest, ACallTheSignalInterruptsGoesOn) {
    ASSERT_EQ(0, dxSetGraphMode(640, 480, 16, 60));
    ASSERT_EQ(0, dxDxLib_Init());
    int channel[2];
    ASSERT_EQ(0, pipe(channel));
    const pthread_t reader = pthread_self();
    std::thread other([&] {
        std::this_thread::sleep_for(100ms);
        pthread_kill(reader, SIGTERM);
        std::this_thread::sleep_for(200ms);
        const char byte = 'x';
        EXPECT_EQ(1, write(channel[1], &byte, 1));
    });
    char got = 0;
    const ssize_t read = ::read(channel[0], &got, 1);
    const int error = errno;
    other.join();
    close(channel[0]);
    close(channel[1]);
    EXPECT_EQ(1, read) << "errno " << error;
    EXPECT_EQ(-1, dxProcessMessage()) << "the signal is a quit request";
    EXPECT_EQ(0, dxDxLib_End());
}

}  // namespace
}  // namespace dxtest
