// The real game started with its standard streams closed or broken, headless,
// from a folder of its own without art so that it has diagnostics to write.
// They must neither go into a file or connection the game opened nor end it.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "test_files.h"
#include "test_processes.h"

namespace {

namespace fs = std::filesystem;
using namespace testfiles;
using namespace testprocesses;

class StandardStreamsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // A copy: no art beside the executable stands in for the missing folder.
        fs::copy_file(CHASER_GAME, dir_.path() / "chaser");
        // The game loads its library from beside itself.
        fs::create_symlink(DXLIBDLL_LIBRARY, dir_.path() / fs::path(DXLIBDLL_LIBRARY).filename());
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_addchdir_np(&actions_, dir_.path().c_str());
    }
    void TearDown() override { posix_spawn_file_actions_destroy(&actions_); }

    // Starts the game with actions_, waits for its first frame (past
    // loading, so past what it has to say), checks `whilePlaying`, then
    // sends SIGTERM: it must end by itself with status 0.
    template <typename Check>
    void PlayThenTerminate(Check whilePlaying) {
        const fs::path digests = dir_.path() / "digests";
        SetVariable("DXLIBDLL_DIGESTS", digests.string());
        const pid_t pid = Spawn({(dir_.path() / "chaser").string()}, &actions_);
        SetVariable("DXLIBDLL_DIGESTS", "");
        ASSERT_GT(pid, 0);
        EXPECT_TRUE(
            WaitUntil([&] { return fs::exists(digests) && fs::file_size(digests) > 0; }, 20s))
            << "the game showed no frame within 20 s";
        whilePlaying(pid);
        kill(pid, SIGTERM);
        const std::optional<int> status = EndedOrKilled(pid, 10s);
        ASSERT_TRUE(status) << "the game did not end within 10 s of SIGTERM";
        ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
        EXPECT_EQ(0, WEXITSTATUS(*status));
    }

    TempDir dir_;
    posix_spawn_file_actions_t actions_;
};

TEST_F(StandardStreamsTest, ClosedStreamsAreOpenedOnDevNullAndTheGameEndsWithZero) {
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        posix_spawn_file_actions_addclose(&actions_, descriptor);
    }
    PlayThenTerminate([](pid_t game) {
        // Left closed, the first socket or file the game opened would take each.
        for (int descriptor = 0; descriptor <= 2; ++descriptor) {
            std::error_code error;
            const fs::path link =
                "/proc/" + std::to_string(game) + "/fd/" + std::to_string(descriptor);
            EXPECT_EQ("/dev/null", fs::read_symlink(link, error).string()) << descriptor;
        }
    });
}

TEST_F(StandardStreamsTest, StderrAPipeWithNoReaderDoesNotEndTheGame) {
    int ends[2];
    ASSERT_EQ(0, pipe(ends));
    close(ends[0]);  // nobody will ever read: every write fails
    posix_spawn_file_actions_adddup2(&actions_, ends[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions_, ends[1]);
    PlayThenTerminate([](pid_t) {});
    close(ends[1]);
}

}  // namespace
