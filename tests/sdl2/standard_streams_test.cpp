// The real game started with its standard streams closed or broken, as a
// service manager, a cron job or `chaser 2>&1 | true` can start it. It runs
// headless from a directory of its own without art, so it has diagnostics to
// write; they must neither go into a file or connection the game opened nor
// end the game. SIGTERM then ends it as usual, with status 0.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class StandardStreamsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "chaser_streams_XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        dir_ = pattern;
        // A copy, so no art beside the executable stands in for the missing folder.
        fs::copy_file(CHASER_GAME, dir_ / "chaser");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    // Starts the game in its directory; `prepare` runs in the child before the
    // exec and may only close and duplicate descriptors.
    template <typename Prepare>
    pid_t Start(Prepare prepare) {
        const std::string game = (dir_ / "chaser").string();
        const std::string dir = dir_.string();
        const pid_t pid = fork();
        if (pid == 0) {
            if (chdir(dir.c_str()) != 0) {
                _exit(126);
            }
            prepare();
            execl(game.c_str(), game.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return pid;
    }

    // Sends SIGTERM and gives the wait status; fails if the game does not end
    // within 10 s.
    static int Terminate(pid_t game) {
        kill(game, SIGTERM);
        int status = 0;
        for (int tries = 0; tries < 200; ++tries) {
            if (waitpid(game, &status, WNOHANG) == game) {
                return status;
            }
            std::this_thread::sleep_for(50ms);
        }
        kill(game, SIGKILL);
        waitpid(game, &status, 0);
        ADD_FAILURE() << "the game did not end within 10 s of SIGTERM";
        return status;
    }

    fs::path dir_;
};

// The game well past loading (tens of milliseconds) and in its frame loop.
void WaitForPlay() {
    std::this_thread::sleep_for(1s);
}

TEST_F(StandardStreamsTest, ClosedStreamsAreOpenedOnDevNullAndTheGameEndsWithZero) {
    const pid_t game = Start([] {
        close(STDIN_FILENO);
        close(STDOUT_FILENO);
        close(STDERR_FILENO);
    });
    ASSERT_GT(game, 0);
    WaitForPlay();
    // Left closed, the first socket or file the game opened would take each.
    for (int descriptor = 0; descriptor <= 2; ++descriptor) {
        const fs::path link = "/proc/" + std::to_string(game) + "/fd/" + std::to_string(descriptor);
        std::error_code error;
        EXPECT_EQ("/dev/null", fs::read_symlink(link, error).string())
            << "descriptor " << descriptor;
    }
    const int status = Terminate(game);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(0, WEXITSTATUS(status));
}

TEST_F(StandardStreamsTest, StderrAPipeWithNoReaderDoesNotEndTheGame) {
    int ends[2];
    ASSERT_EQ(0, pipe(ends));
    close(ends[0]);  // nobody will ever read: every write fails
    const int writeEnd = ends[1];
    const pid_t game = Start([writeEnd] {
        dup2(writeEnd, STDERR_FILENO);
        close(writeEnd);
    });
    close(writeEnd);
    ASSERT_GT(game, 0);
    WaitForPlay();
    const int status = Terminate(game);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(0, WEXITSTATUS(status));
}

}  // namespace
