// The real game started with its standard streams closed or broken, headless,
// from a folder of its own without art so that it has diagnostics to write.
// They must neither go into a file or connection the game opened nor end it.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;

class StandardStreamsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "chaser_streams_XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        dir_ = pattern;
        // A copy: no art beside the executable stands in for the missing folder.
        fs::copy_file(CHASER_GAME, dir_ / "chaser");
        // The game loads its library from beside itself.
        fs::create_symlink(DXLIBDLL_LIBRARY, dir_ / fs::path(DXLIBDLL_LIBRARY).filename());
        posix_spawn_file_actions_init(&actions_);
        posix_spawn_file_actions_addchdir_np(&actions_, dir_.c_str());
    }
    void TearDown() override {
        posix_spawn_file_actions_destroy(&actions_);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Starts the game with actions_, lets it play for a second (well past
    // loading), checks `whilePlaying`, then sends SIGTERM: it must end by
    // itself with status 0.
    template <typename Check>
    void PlayThenTerminate(Check whilePlaying) {
        const std::string game = (dir_ / "chaser").string();
        char* const argv[] = {const_cast<char*>(game.c_str()), nullptr};
        pid_t pid = -1;
        ASSERT_EQ(0, posix_spawn(&pid, game.c_str(), &actions_, nullptr, argv, environ));
        std::this_thread::sleep_for(std::chrono::seconds(1));
        whilePlaying(pid);
        kill(pid, SIGTERM);
        int status = 0;
        for (int tries = 0; tries < 200 && waitpid(pid, &status, WNOHANG) == 0; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (kill(pid, 0) == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            FAIL() << "the game did not end within 10 s of SIGTERM";
        }
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(0, WEXITSTATUS(status));
    }

    fs::path dir_;
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
