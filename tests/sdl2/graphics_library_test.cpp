// The real game with its graphics library missing, broken or shadowed, in a
// folder laid out as the build tree (the library beside the game) or as an
// install (in its lib folder). Each broken library is one line naming the
// file and the reason, and status 255, however the game was started; a
// library of the same name in the working directory or on LD_LIBRARY_PATH is
// never the one loaded; a load that hangs can be ended by a quit signal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "library_fixture.h"

extern char** environ;

namespace {

using dxtest::TempDir;
using dxtest::UsualQuitSignals;
namespace fs = std::filesystem;

struct Outcome {
    bool ended = false;
    int status = 0;
    std::string errors;
};

// Starts `game` with an empty argv[0] (so the name in its lines must come from
// the executable itself), from `folder`, with `environment` added; sends
// SIGTERM after `signalAfter` when it is given. Kills it after 20 s.
Outcome Start(const fs::path& game, const fs::path& folder,
              const std::vector<std::string>& environment, const fs::path& errors,
              std::chrono::milliseconds signalAfter = {}) {
    std::vector<std::string> variables = environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        const std::string text = *variable;
        const std::string name = text.substr(0, text.find('='));
        if (std::none_of(environment.begin(), environment.end(), [&](const std::string& given) {
                return given.rfind(name + "=", 0) == 0;
            })) {
            variables.push_back(text);
        }
    }
    std::vector<char*> envp;
    for (std::string& variable : variables) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    char empty[] = "";
    char* argv[] = {empty, nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    UsualQuitSignals(&attributes);
    pid_t pid = -1;
    Outcome run;
    const int spawned = posix_spawn(&pid, game.c_str(), &actions, &attributes, argv, envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return run;
    }
    const auto start = std::chrono::steady_clock::now();
    bool signalled = signalAfter.count() == 0;
    while (!(run.ended = waitpid(pid, &run.status, WNOHANG) == pid)) {
        const auto now = std::chrono::steady_clock::now();
        if (!signalled && now - start >= signalAfter) {
            kill(pid, SIGTERM);
            signalled = true;
        }
        if (now - start > std::chrono::seconds(20)) {
            kill(pid, SIGKILL);
            waitpid(pid, &run.status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::ifstream in(errors);
    std::stringstream text;
    text << in.rdbuf();
    run.errors = text.str();
    return run;
}

// Copies the first `bytes` bytes of `from` to `to`.
void CopyStart(const fs::path& from, const fs::path& to, std::streamsize bytes) {
    std::ifstream in(from, std::ios::binary);
    std::vector<char> start(static_cast<size_t>(bytes));
    in.read(start.data(), bytes);
    std::ofstream(to, std::ios::binary).write(start.data(), in.gcount());
}

TEST(GraphicsLibraryTest, ABrokenOrMissingLibraryIsOneLineAndStatus255AndNoOtherIsLoaded) {
    TempDir dir;
    const fs::path bin = dir.path() / "bin";
    const fs::path installedFolder = (bin / DXLIBDLL_INSTALLED_DIR).lexically_normal();
    const fs::path beside = bin / "libdxlibdll.so";
    const fs::path installed = installedFolder / "libdxlibdll.so";
    const fs::path elsewhere = dir.path() / "elsewhere";
    const fs::path decoys = dir.path() / "decoys";
    for (const fs::path& folder : {bin, installedFolder, elsewhere, decoys}) {
        fs::create_directories(folder);
    }
    const fs::path game = bin / "chaser";
    fs::copy_file(CHASER_GAME, game);
    const auto size = static_cast<std::streamsize>(fs::file_size(DXLIBDLL_LIBRARY));

    struct Case {
        const char* what;
        std::function<void()> make;
        std::vector<std::string> environment;
        std::string said;  // the line, after "chaser: "
        std::chrono::milliseconds signalAfter{0};
    };
    const std::string cannot = "cannot load the graphics library: ";
    const Case cases[] = {
        {"nothing there",
         [] {},
         {},
         cannot + "libdxlibdll.so is neither beside the program in " + bin.string() + " nor in " +
             installedFolder.string()},
        // It used to wait in open() for good, with the quit signals held back.
        {"a named pipe installed",
         [&] { ASSERT_EQ(0, mkfifo(installed.c_str(), 0644)); },
         {},
         cannot + installed.string() + " is a named pipe, not the library's file"},
        // An interrupted copy: it used to die of SIGBUS in the system's loader.
        {"cut short at 100,000 bytes",
         [&] { CopyStart(DXLIBDLL_LIBRARY, beside, 100000); },
         {},
         cannot + beside.string() + " is cut short: 100000 bytes where its headers need "},
        {"cut short at nine tenths",
         [&] { CopyStart(DXLIBDLL_LIBRARY, installed, size / 10 * 9); },
         {},
         cannot + installed.string() + " is cut short: "},
        // The reason for the path tried, not that of an earlier search by name.
        {"a symbolic link to itself",
         [&] { fs::create_symlink(beside.filename(), beside); },
         {},
         cannot + beside.string() + ": Too many levels of symbolic links"},
        // Bound at load time: it used to fail at the first call, mid-game.
        {"needing a function no SDL has",
         [&] { fs::copy_file(BROKEN_UNBOUND_LIBRARY, beside); },
         {},
         cannot + beside.string() + ": undefined symbol: SDL_FunctionNoSdlHas"},
        {"lacking an operation",
         [&] { fs::copy_file(BROKEN_LIBRARY, installed); },
         {},
         cannot + installed.string() + " lacks the operation dxScreenFlip"},
        // Libraries of the same name in the working directory and on
        // LD_LIBRARY_PATH are not loaded: the installed one starts, and says
        // that the video driver asked for is not there.
        {"decoys in the working directory and on LD_LIBRARY_PATH",
         [&] {
             fs::copy_file(DXLIBDLL_LIBRARY, installed);
             fs::copy_file(BROKEN_LIBRARY, elsewhere / "libdxlibdll.so");
             fs::copy_file(BROKEN_LIBRARY, decoys / "libdxlibdll.so");
         },
         {"BROKEN_LIBRARY=announce", "LD_LIBRARY_PATH=" + decoys.string(),
          "SDL_VIDEODRIVER=no_such_driver"},
         "cannot start"},
        // A load that never ends (a hung network file system) ends as SIGTERM
        // ends a program, two seconds after it.
        {"a load that hangs, then SIGTERM",
         [&] { fs::copy_file(BROKEN_LIBRARY, beside); },
         {"BROKEN_LIBRARY=hang"},
         "",
         std::chrono::milliseconds(300)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const fs::path& file : {beside, installed}) {
            fs::remove(file);
        }
        c.make();
        const Outcome run =
            Start(game, elsewhere, c.environment, dir.path() / "errors", c.signalAfter);
        ASSERT_TRUE(run.ended) << "still running after 20 s";
        if (c.signalAfter.count() != 0) {
            ASSERT_TRUE(WIFSIGNALED(run.status)) << run.errors;
            EXPECT_EQ(SIGTERM, WTERMSIG(run.status));
            continue;
        }
        ASSERT_TRUE(WIFEXITED(run.status)) << "ended by signal " << WTERMSIG(run.status);
        EXPECT_EQ(255, WEXITSTATUS(run.status)) << run.errors;
        EXPECT_EQ(1, std::count(run.errors.begin(), run.errors.end(), '\n')) << run.errors;
        EXPECT_EQ(0u, run.errors.rfind("chaser: " + c.said, 0)) << run.errors;
    }
}

}  // namespace
