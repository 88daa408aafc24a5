// Recordings played by the real game: the committed ones give the committed
// digest of every frame, a recording of live input plays back to the same
// frames, and a broken recording stops the game before it starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "library_fixture.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace dxtest {
namespace {

void SetVariable(const char* name, const std::string& value) {
#ifdef _WIN32
    // An empty value removes the variable.
    _putenv_s(name, value.c_str());
#else
    if (value.empty()) {
        unsetenv(name);
    } else {
        setenv(name, value.c_str(), 1);
    }
#endif
}

// The switches for one run of a program; all cleared again afterwards.
struct Switches {
    std::string record;
    std::string replay;
    std::string digests;
};

// Runs the program with the switches, unpaced, its standard error to `errors`;
// its exit status, 0 to 255.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               const Switches& switches, const std::string& errors) {
    SetVariable("DXLIBDLL_RECORD", switches.record);
    SetVariable("DXLIBDLL_REPLAY", switches.replay);
    SetVariable("DXLIBDLL_DIGESTS", switches.digests);
    SetVariable("DXLIBDLL_UNPACED", "1");
    std::string command = "\"" + program + "\"";
    for (const std::string& argument : arguments) {
        command += " \"" + argument + "\"";
    }
    command += " 2>\"" + errors + "\"";
#ifdef _WIN32
    // cmd /c drops the first and last quote of a line that has more than two.
    const int status = std::system(("\"" + command + "\"").c_str()) & 0xFF;
#else
    const int raw = std::system(command.c_str());
    const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 1000 + raw;
#endif
    for (const char* name :
         {"DXLIBDLL_RECORD", "DXLIBDLL_REPLAY", "DXLIBDLL_DIGESTS", "DXLIBDLL_UNPACED"}) {
        SetVariable(name, "");
    }
    return status;
}

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Empty when the digests agree line for line; else names the first frame
// that differs (or the first one only one side has).
std::string FirstDifference(const std::vector<std::string>& expected,
                            const std::vector<std::string>& got) {
    for (size_t i = 0; i < std::max(expected.size(), got.size()); ++i) {
        const std::string want = i < expected.size() ? expected[i] : "(no frame)";
        const std::string have = i < got.size() ? got[i] : "(no frame)";
        if (want != have) {
            return "frame " + std::to_string(i + 1) + " differs: expected \"" + want +
                   "\", got \"" + have + "\"";
        }
    }
    return {};
}

TEST(ReplayTest, CommittedRecordingsGiveTheCommittedDigestsAndRecordThemselvesBack) {
    TempDir dir;
    int recordings = 0;
    for (const auto& entry : fs::directory_iterator(REPLAYS_DIR)) {
        if (entry.path().extension() != ".replay") {
            continue;
        }
        ++recordings;
        const std::string name = entry.path().stem().string();
        SCOPED_TRACE(name);
        fs::path committedDigests = entry.path();
        committedDigests.replace_extension(".digests");
        ASSERT_TRUE(fs::exists(committedDigests)) << "no digest file for " << name;

        // Recorded again while it plays: the game saw exactly its lines.
        const Switches switches{dir.File(name + ".again"), entry.path().string(),
                                dir.File(name + ".digests")};
        ASSERT_EQ(0, RunProgram(CHASER_GAME, {}, switches, dir.File(name + ".errors")))
            << Contents(dir.File(name + ".errors"));
        const std::vector<std::string> expected = Lines(committedDigests.string());
        ASSERT_GT(expected.size(), 100u);
        EXPECT_EQ("", FirstDifference(expected, Lines(switches.digests)));
        EXPECT_EQ(Contents(entry.path().string()), Contents(switches.record));
    }
    EXPECT_GE(recordings, 2);
}

TEST(ReplayTest, RecordedLiveInputPlaysBackToTheSameFrames) {
    TempDir dir;
    // Live key events: Right held from the first frame, Escape tapped (down
    // and up again) before the 101st, which sees it and ends the game.
    const Switches live{dir.File("live.replay"), "", dir.File("live.digests")};
    SetVariable("SCRIPTED_GAME_TAP_ESCAPE", "1");
    const int status =
        RunProgram(SCRIPTED_GAME, {dir.path().string()}, live, dir.File("live.errors"));
    SetVariable("SCRIPTED_GAME_TAP_ESCAPE", "");
    ASSERT_EQ(0, status) << Contents(dir.File("live.errors"));
    const std::vector<std::string> recorded = Lines(live.record);
    ASSERT_EQ(102u, recorded.size()) << "the tap was seen by the frame after it";
    EXPECT_EQ("chaser-replay 1", recorded[0]);
    EXPECT_EQ("0 0 205", recorded[1]);
    EXPECT_EQ("0 0 205", recorded[100]);
    EXPECT_EQ("0 0 1", recorded[101]) << "the recording holds the tap as the game saw it";

    const Switches replayed{"", live.record, dir.File("replayed.digests")};
    ASSERT_EQ(0, RunProgram(CHASER_GAME, {}, replayed, dir.File("replayed.errors")))
        << Contents(dir.File("replayed.errors"));
    const std::vector<std::string> liveDigests = Lines(live.digests);
    ASSERT_EQ(100u, liveDigests.size());
    EXPECT_EQ("", FirstDifference(liveDigests, Lines(replayed.digests)));
}

TEST(ReplayTest, BrokenRecordingEndsTheGameWithStatus255AndOneLine) {
    TempDir dir;
    struct Case {
        std::string text;  // none: the file is missing
        int badLine;
    };
    const Case cases[] = {
        {"", 1},
        {"chaser-replay 2\n0 0\n", 1},
        {"chaser-replay 1\n0 0\n0 0 205 200\n", 3},  // keys out of order
        {"chaser-replay 1\n0 0 \n", 2},              // a space and no key
        {"chaser-replay 1\n0 0\n256 0\n", 3},        // pad bits out of range
        {"chaser-replay 1\n0 2\n", 2},               // quit neither 0 nor 1
        {"chaser-replay 1\n0 0\n\n0 0\n", 3},        // an empty line
        {"chaser-replay 1\n0 0 84\n", 2},            // a code that names no key
    };
    int number = 0;
    for (const Case& c : cases) {
        ++number;
        SCOPED_TRACE(c.text);
        const std::string replay = dir.File("broken" + std::to_string(number) + ".replay");
        if (!c.text.empty()) {
            std::ofstream(replay, std::ios::binary) << c.text;
        }
        const Switches switches{dir.File("never.replay"), replay, dir.File("never.digests")};
        const std::string errors = dir.File("errors" + std::to_string(number));
        EXPECT_EQ(255, RunProgram(CHASER_GAME, {}, switches, errors));
        const std::vector<std::string> lines = Lines(errors);
        ASSERT_EQ(1u, lines.size()) << Contents(errors);
        EXPECT_NE(std::string::npos, lines[0].find(replay)) << lines[0];
        EXPECT_NE(std::string::npos, lines[0].find("line " + std::to_string(c.badLine)))
            << lines[0];
        EXPECT_FALSE(fs::exists(switches.record)) << "nothing is created for a broken replay";
        EXPECT_FALSE(fs::exists(switches.digests));
    }
}

TEST(ReplayTest, AFailedStartLeavesEarlierFilesAsTheyWere) {
    TempDir dir;
    const Switches switches{dir.File("earlier.replay"), "", dir.File("earlier.digests")};
    std::ofstream(switches.record, std::ios::binary) << "chaser-replay 1\n0 0 205\n";
    std::ofstream(switches.digests, std::ios::binary) << "kept\n";
    // A video driver that does not exist: the start fails after the files
    // could have been opened.
    SetVariable("SDL_VIDEODRIVER", "no-such-driver");
    const int status = RunProgram(CHASER_GAME, {}, switches, dir.File("errors"));
    SetVariable("SDL_VIDEODRIVER", "offscreen");
    EXPECT_EQ(255, status) << Contents(dir.File("errors"));
    EXPECT_EQ("chaser-replay 1\n0 0 205\n", Contents(switches.record));
    EXPECT_EQ("kept\n", Contents(switches.digests));
}

}  // namespace
}  // namespace dxtest
