// Recordings played by the real game: the committed ones give the committed
// digest of every frame, a recording of live input plays back to the same
// frames, and a broken recording stops the game before it starts.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "emulation.h"
#include "library_fixture.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace dxtest {
namespace {

// The switches for one run of a program; all cleared again afterwards.
struct Switches {
    std::string record;
    std::string replay;
    std::string digests;
};

// Runs the program with the switches, unpaced, its standard error to `errors`;
// its exit status, 0 to 255. `before` goes ahead of it in the shell's line
// (POSIX only): limits, or a command run alongside. A program still running
// after two minutes hangs and is ended (status 124): the longest recording
// takes some 15 s under the sanitizers, and more on a busy machine; under an
// emulator, which plays it many times slower, after five minutes.
int RunProgram(const std::string& program, const std::vector<std::string>& arguments,
               const Switches& switches, const std::string& errors,
               [[maybe_unused]] const std::string& before = "") {
    SetVariable("DXLIBDLL_RECORD", switches.record);
    SetVariable("DXLIBDLL_REPLAY", switches.replay);
    SetVariable("DXLIBDLL_DIGESTS", switches.digests);
    SetVariable("DXLIBDLL_UNPACED", "1");
#ifdef _WIN32
    std::string command = "\"" + program + "\"";
#else
    std::string command = before + " timeout " +
                          std::to_string(EmulatorName().empty() ? 120 : 300) + " \"" + program +
                          "\"";
#endif
    for (const std::string& argument : arguments) {
        command += " \"" + argument + "\"";
    }
    command += " 2>\"" + errors + "\"";
    const int status = RunShell(command);
    for (const char* name :
         {"DXLIBDLL_RECORD", "DXLIBDLL_REPLAY", "DXLIBDLL_DIGESTS", "DXLIBDLL_UNPACED"}) {
        SetVariable(name, "");
    }
    return status;
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
            << ReadText(dir.File(name + ".errors"));
        const std::vector<std::string> expected = ReadLines(committedDigests.string());
        ASSERT_GT(expected.size(), 100u);
        EXPECT_EQ("", FirstDifference(expected, ReadLines(switches.digests)));
        EXPECT_EQ(ReadText(entry.path().string()), ReadText(switches.record));
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
    ASSERT_EQ(0, status) << ReadText(dir.File("live.errors"));
    const std::vector<std::string> recorded = ReadLines(live.record);
    ASSERT_EQ(102u, recorded.size()) << "the tap was seen by the frame after it";
    EXPECT_EQ("chaser-replay 1", recorded[0]);
    EXPECT_EQ("0 0 205", recorded[1]);
    EXPECT_EQ("0 0 205", recorded[100]);
    EXPECT_EQ("0 0 1", recorded[101]) << "the recording holds the tap as the game saw it";

    const Switches replayed{"", live.record, dir.File("replayed.digests")};
    ASSERT_EQ(0, RunProgram(CHASER_GAME, {}, replayed, dir.File("replayed.errors")))
        << ReadText(dir.File("replayed.errors"));
    const std::vector<std::string> liveDigests = ReadLines(live.digests);
    ASSERT_EQ(100u, liveDigests.size());
    EXPECT_EQ("", FirstDifference(liveDigests, ReadLines(replayed.digests)));
}

// A player with only a game pad: the d-pad steers, Start alone and Back alone
// are ignored, Back and Start held together end the game with status 0 on
// that frame, the recording holds the request there and plays back to the
// same last frame. During a replay the live pad's request is the person
// watching asking to stop: it ends the playback on that frame.
TEST(ReplayTest, APadAloneSteersAndQuitsWithBackAndStart) {
    TempDir dir;
    SetVariable("SCRIPTED_GAME_PAD", "1");
    const Switches live{dir.File("pad.replay"), "", dir.File("pad.digests")};
    const int status =
        RunProgram(SCRIPTED_GAME, {dir.path().string()}, live, dir.File("pad.errors"));
    ASSERT_EQ(0, status) << ReadText(dir.File("pad.errors"));
    std::ifstream state(dir.File("state.txt"));
    int frames = 0, playerX = 0, playerY = 0;
    ASSERT_TRUE(state >> frames >> playerX >> playerY);
    EXPECT_EQ(101, frames) << "Start alone and Back alone played on; both ended frame 101";
    EXPECT_EQ(573, playerX) << "the d-pad steered right to the edge";
    EXPECT_EQ(400, playerY);
    const std::vector<std::string> recorded = ReadLines(live.record);
    ASSERT_EQ(102u, recorded.size());
    for (size_t line = 1; line <= 100; ++line) {
        EXPECT_EQ("4 0", recorded[line]) << "frame " << line;
    }
    EXPECT_EQ("4 1", recorded[101]) << "the quit request, on the frame that saw it";

    const Switches replayed{"", live.record, dir.File("replayed.digests")};
    SetVariable("SCRIPTED_GAME_PAD", "");
    ASSERT_EQ(0, RunProgram(CHASER_GAME, {}, replayed, dir.File("replayed.errors")))
        << ReadText(dir.File("replayed.errors"));
    const std::vector<std::string> liveDigests = ReadLines(live.digests);
    ASSERT_EQ(100u, liveDigests.size());
    EXPECT_EQ("", FirstDifference(liveDigests, ReadLines(replayed.digests)));

    // A recording of 3000 frames, with the same pad live: its d-pad leaves
    // the replayed frames alone, its Back + Start stop them after frame 100.
    const std::string longSession = std::string(REPLAYS_DIR) + "/long-session";
    SetVariable("SCRIPTED_GAME_PAD", "1");
    const Switches watched{"", longSession + ".replay", dir.File("watched.digests")};
    const int watchedStatus =
        RunProgram(SCRIPTED_GAME, {dir.path().string()}, watched, dir.File("watched.errors"));
    SetVariable("SCRIPTED_GAME_PAD", "");
    ASSERT_EQ(0, watchedStatus) << ReadText(dir.File("watched.errors"));
    std::vector<std::string> committed = ReadLines(longSession + ".digests");
    ASSERT_GT(committed.size(), 100u);
    committed.resize(100);
    EXPECT_EQ("", FirstDifference(committed, ReadLines(watched.digests)));
}

TEST(ReplayTest, BrokenRecordingEndsTheGameWithStatus255AndOneLine) {
    TempDir dir;
    struct Case {
        std::string text;  // none: the file is missing
        int badLine;       // 0: a file that cannot be read has no line to name
    };
    const Case cases[] = {
        {"", 0},
        {"chaser-replay 2\n0 0\n", 1},
        {"chaser-replay 1\n0 0\n0 0 205 200\n", 3},  // keys out of order
        {"chaser-replay 1\n0 0 \n", 2},              // a space and no key
        {"chaser-replay 1\n0 0\n256 0\n", 3},        // pad bits out of range
        {"chaser-replay 1\n0 2\n", 2},               // quit neither 0 nor 1
        {"chaser-replay 1\n0 0\n\n0 0\n", 3},        // an empty line
        {"chaser-replay 1\n0 0 84\n", 2},            // a code that names no key
        {"chaser-replay 1\n0 0 205\n0 0 2", 3},      // a last line cut short
        {"\xEF\xBB\xBF"
         "chaser-replay 1",
         1},  // and only its first line
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
        const std::vector<std::string> lines = ReadLines(errors);
        ASSERT_EQ(1u, lines.size()) << ReadText(errors);
        EXPECT_NE(std::string::npos, lines[0].find(replay)) << lines[0];
        if (c.badLine == 0) {
            EXPECT_EQ(std::string::npos, lines[0].find("\", line")) << lines[0];
        } else {
            EXPECT_NE(std::string::npos, lines[0].find("line " + std::to_string(c.badLine)))
                << lines[0];
        }
        if (c.text.find('\n') != std::string::npos && c.text.back() != '\n') {
            EXPECT_NE(std::string::npos, lines[0].find("cut short")) << lines[0];
        }
        EXPECT_FALSE(fs::exists(switches.record)) << "nothing is created for a broken replay";
        EXPECT_FALSE(fs::exists(switches.digests));
    }

    // The same recording saved with a byte-order mark and CR LF line ends,
    // as an editor on Windows may save it, plays.
    const std::string saved = dir.File("saved.replay");
    std::ofstream(saved, std::ios::binary) << "\xEF\xBB\xBF"
                                              "chaser-replay 1\r\n0 0 205\r\n0 0 205\r\n";
    const Switches switches{"", saved, dir.File("saved.digests")};
    ASSERT_EQ(0, RunProgram(CHASER_GAME, {}, switches, dir.File("saved.errors")))
        << ReadText(dir.File("saved.errors"));
    EXPECT_EQ(2u, ReadLines(switches.digests).size());
}

// Everything in a folder: each file's kind and contents, by name.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().lexically_relative(folder).generic_string();
        if (entry.is_symlink()) {
            files[name] = "link to " + fs::read_symlink(entry.path()).generic_string();
        } else if (entry.is_regular_file()) {
            files[name] = ReadText(entry.path().string());
        } else {
            files[name] = entry.is_directory() ? "folder" : "special";
        }
    }
    return files;
}

// A start refused for its files: status 255 at once, one line that says why,
// and every file as it was, none added, none removed. Two switches naming
// one file are told by what the file is, however the names are spelt or
// linked; a file is replaced only when it is empty, a recording or digests;
// a pipe or device is refused without waiting for anyone at its other end.
TEST(ReplayTest, ARefusedStartChangesNoFile) {
    TempDir dir;
    const fs::path& here = dir.path();
    const std::string recording = "chaser-replay 1\n0 0 205\n0 0 205\n";
    std::ofstream(here / "played.replay", std::ios::binary) << recording;
    std::ofstream(here / "earlier.replay", std::ios::binary) << recording;
    std::ofstream(here / "notes.txt", std::ios::binary) << "a file the game did not write\n";
    fs::create_directories(here / "sub");
    fs::create_hard_link(here / "played.replay", here / "linked.replay");
    const std::string played = (here / "played.replay").string();
    struct Case {
        const char* what;
        Switches switches;
        const char* said;
    };
    std::vector<Case> cases = {
        {"a digest file that cannot be created after an earlier recording",
         {dir.File("earlier.replay"), "", (here / "missing" / "d").string()},
         "cannot create it"},
        {"the recording played, spelt another way, as the recording",
         {(here / "sub" / ".." / "played.replay").string(), played, ""},
         "the recording played would be overwritten"},
        {"the recording played, by a hard link, as the digests",
         {"", played, dir.File("linked.replay")},
         "the recording played would be overwritten"},
        {"one new file spelt two ways as the recording and the digests",
         {dir.File("new.replay"), "", (here / "." / "new.replay").string()},
         "mixed into the recording"},
        {"a file the game did not write", {"", "", dir.File("notes.txt")}, "other than"},
    };
#ifndef _WIN32
    fs::create_symlink(here / "played.replay", here / "symlinked.replay");
    ASSERT_EQ(0, mkfifo((here / "unread").c_str(), 0600));
    ASSERT_EQ(0, mkfifo((here / "unwritten").c_str(), 0600));
    cases.push_back({"the recording played, by a symbolic link, as the recording",
                     {dir.File("symlinked.replay"), played, ""},
                     "the recording played would be overwritten"});
    cases.push_back(
        {"a named pipe nobody reads as the digests", {"", "", dir.File("unread")}, "named pipe"});
    cases.push_back(
        {"a named pipe nobody reads as the recording", {dir.File("unread"), "", ""}, "named pipe"});
    cases.push_back({"a device as the recording", {"/dev/null", "", ""}, "device"});
    // Given ten seconds for a writer to come, as a pipe that falls silent is.
    cases.push_back({"a named pipe nobody writes into as the replay",
                     {"", dir.File("unwritten"), ""},
                     "nothing came through the pipe"});
#endif
    TempDir errorsDir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto before = Snapshot(here);
        const std::string errors = errorsDir.File("errors");
        EXPECT_EQ(255, RunProgram(CHASER_GAME, {}, c.switches, errors)) << ReadText(errors);
        const std::vector<std::string> lines = ReadLines(errors);
        ASSERT_EQ(1u, lines.size()) << ReadText(errors);
        EXPECT_NE(std::string::npos, lines[0].find(c.said)) << lines[0];
        EXPECT_EQ(before, Snapshot(here));
    }
}

#ifndef _WIN32
// A recording handed over through a pipe, as DXLIBDLL_REPLAY=<(command)
// does, still plays: the reader waits for what its writer sends.
TEST(ReplayTest, ARecordingFromAPipeWithAWriterPlays) {
    TempDir dir;
    std::ofstream(dir.path() / "played.replay", std::ios::binary)
        << "chaser-replay 1\n0 0 205\n0 0 205\n0 0 205\n";
    ASSERT_EQ(0, mkfifo(dir.File("pipe").c_str(), 0600));
    const Switches switches{"", dir.File("pipe"), dir.File("digests")};
    // The writer starts after the game, and only then opens the pipe.
    const std::string writer =
        "(sleep 0.5; cat '" + dir.File("played.replay") + "' >'" + dir.File("pipe") + "') &";
    ASSERT_EQ(0, RunProgram(CHASER_GAME, {}, switches, dir.File("errors"), writer))
        << ReadText(dir.File("errors"));
    EXPECT_EQ(3u, ReadLines(switches.digests).size());
}

// Two games recording into one file: the second, started while the first
// plays, is refused with one line and changes nothing; the first writes its
// whole recording, as if alone.
TEST(ReplayTest, ASecondGameRecordingIntoTheSameFileIsRefused) {
    TempDir dir;
    // The first plays four seconds, paced, recording what it plays.
    std::string played = "chaser-replay 1\n";
    for (int frame = 0; frame < 240; ++frame) {
        played += frame < 120 ? "0 0 205\n" : "0 0 200 203\n";
    }
    std::ofstream(dir.path() / "played.replay", std::ios::binary) << played;
    const std::string shared = dir.File("shared.replay");
    const std::string first = "(DXLIBDLL_UNPACED=0 DXLIBDLL_DIGESTS='" + dir.File("first.digests") +
                              "' DXLIBDLL_REPLAY='" + dir.File("played.replay") +
                              "' timeout 120 '" CHASER_GAME "' 2>'" + dir.File("first.errors") +
                              "'; echo $? >'" + dir.File("first.status") + "') & " +
                              // The second starts once the first has written some frames.
                              "for i in $(seq 600); do [ \"$(wc -l <'" + shared +
                              "' 2>/dev/null)\" -ge 10 ] 2>/dev/null && break; sleep 0.1; done;";
    const Switches second{shared, "", dir.File("second.digests")};
    EXPECT_EQ(255, RunProgram(CHASER_GAME, {}, second, dir.File("second.errors"), first));
    const std::vector<std::string> lines = ReadLines(dir.File("second.errors"));
    ASSERT_EQ(1u, lines.size()) << ReadText(dir.File("second.errors"));
    EXPECT_NE(std::string::npos, lines[0].find("\"" + shared + "\": another program is writing it"))
        << lines[0];
    EXPECT_FALSE(fs::exists(second.digests)) << "the refused game created nothing";

    ASSERT_TRUE(WaitUntil([&] { return ReadText(dir.File("first.status")).size() > 1; },
                          std::chrono::minutes(2)));
    EXPECT_EQ("0\n", ReadText(dir.File("first.status"))) << ReadText(dir.File("first.errors"));
    EXPECT_EQ("", ReadText(dir.File("first.errors")));
    // After its last line a replay asks to quit, and that frame is recorded.
    EXPECT_EQ(played + "0 1\n", ReadText(shared)) << "the first game's recording, whole and alone";
    EXPECT_EQ(240u, ReadLines(dir.File("first.digests")).size());
}

// A recording or digest file the system stops taking (here past a file size
// limit, as on a full disk) is named in a line of its own, each once; each
// keeps its whole lines up to the failure and the game plays on.
TEST(ReplayTest, AWriteErrorNamesItsOwnFileAndKeepsItsWholeLines) {
    TempDir dir;
    std::string recording = "chaser-replay 1\n";
    for (int frame = 0; frame < 400; ++frame) {
        recording += "0 0 205\n";
    }
    std::ofstream(dir.path() / "played.replay", std::ios::binary) << recording;
    const Switches switches{dir.File("again.replay"), dir.File("played.replay"),
                            dir.File("digests")};
    // 1024 bytes a file. The signal that limit sends is left as it comes (it
    // would end the game): the game ignores it, so writes past it fail.
    ASSERT_EQ(0, RunProgram(CHASER_GAME, {}, switches, dir.File("errors"), "ulimit -f 2;"))
        << ReadText(dir.File("errors"));
    const std::vector<std::string> lines = ReadLines(dir.File("errors"));
    ASSERT_EQ(2u, lines.size()) << ReadText(dir.File("errors"));
    for (const std::string& name : {switches.record, switches.digests}) {
        EXPECT_EQ(1, std::count_if(lines.begin(), lines.end(),
                                   [&](const std::string& line) {
                                       return line.find("\"" + name + "\"") != std::string::npos;
                                   }))
            << name;
        const std::string text = ReadText(name);
        EXPECT_GT(text.size(), 500u) << name;
        EXPECT_EQ('\n', text.back()) << name << " ends in a whole line";
    }
    const std::vector<std::string> again = ReadLines(switches.record);
    EXPECT_EQ("chaser-replay 1", again[0]);
    EXPECT_TRUE(std::all_of(again.begin() + 1, again.end(),
                            [](const std::string& line) { return line == "0 0 205"; }));
    const std::vector<std::string> digests = ReadLines(switches.digests);
    for (size_t i = 0; i < digests.size(); ++i) {
        EXPECT_EQ(std::to_string(i + 1) + " ", digests[i].substr(0, digests[i].find(' ') + 1));
        EXPECT_EQ(digests[i].find(' ') + 17, digests[i].size()) << digests[i];
    }
    for (const std::string& line : lines) {
        EXPECT_NE(std::string::npos, line.find("; it keeps the ")) << line;
    }

    // A disk full from the start: the line says that nothing is in the file.
    // Standard error goes through a pipe, as no file could take the line.
    const std::string nothing = dir.File("nothing.replay");
    ASSERT_EQ(0, RunShell("(ulimit -f 0; DXLIBDLL_UNPACED=1 DXLIBDLL_RECORD='" + nothing +
                          "' DXLIBDLL_REPLAY='" + dir.File("played.replay") +
                          "' exec timeout 120 '" CHASER_GAME "') 2>&1 | cat >'" +
                          dir.File("nothing.errors") + "'"))
        << ReadText(dir.File("nothing.errors"));
    EXPECT_EQ("", ReadText(nothing));
    const std::vector<std::string> said = ReadLines(dir.File("nothing.errors"));
    ASSERT_EQ(1u, said.size()) << ReadText(dir.File("nothing.errors"));
    EXPECT_NE(std::string::npos, said[0].find("nothing could be written to it")) << said[0];
}

#if !defined(__SANITIZE_ADDRESS__)
// A recording of 64 MiB of empty lines is refused at its first empty line,
// within an address space of 400 MB: its frames are not reserved from the
// count of its newlines (that reserved 512 MiB, and the line said only "not
// enough memory", naming neither file nor line).
TEST(ReplayTest, EmptyLinesReserveNothing) {
    TempDir dir;
    std::string text = "chaser-replay 1\n";
    text.resize((size_t{64} << 20) - 64, '\n');
    std::ofstream(dir.path() / "empty.replay", std::ios::binary) << text;
    const Switches switches{"", dir.File("empty.replay"), ""};
    EXPECT_EQ(255, RunProgram(CHASER_GAME, {}, switches, dir.File("errors"), "ulimit -v 400000;"));
    const std::vector<std::string> lines = ReadLines(dir.File("errors"));
    ASSERT_EQ(1u, lines.size()) << ReadText(dir.File("errors"));
    EXPECT_NE(std::string::npos, lines[0].find(switches.replay + "\", line 2:")) << lines[0];
}
#endif

// The most memory any program this test has run took at once, in KiB.
long PeakOfChildrenKiB() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

// A recording past 64 MiB, which hours of play grow to (the game once read a
// recording whole, and refused one this long): with its last line cut short
// it is refused naming that line, far past the start; whole, it plays, in
// the memory a short recording plays in.
TEST(ReplayTest, ARecordingPast64MiBPlaysInTheMemoryOfAShortOne) {
    TempDir dir;
    // Each recording played by a pad alone: its Back + Start stop the
    // playback after frame 100, the same frames for both. The short one
    // first: the peak taken after it is its own.
    const std::string longSession = std::string(REPLAYS_DIR) + "/long-session";
    ScopedVariable pad("SCRIPTED_GAME_PAD", "1");
    const Switches shortOne{"", longSession + ".replay", dir.File("short.digests")};
    ASSERT_EQ(0,
              RunProgram(SCRIPTED_GAME, {dir.path().string()}, shortOne, dir.File("short.errors")))
        << ReadText(dir.File("short.errors"));
    const long shortPeak = PeakOfChildrenKiB();

    // Written a piece at a time: a program started from here begins with this
    // test's peak memory counted as its own.
    const std::string replay = dir.File("hours.replay");
    std::ofstream out(replay, std::ios::binary);
    const std::string start = ReadText(longSession + ".replay");
    out << start;
    uint64_t size = start.size();
    size_t lines = static_cast<size_t>(std::count(start.begin(), start.end(), '\n'));
    std::string filler;
    for (int i = 0; i < 4096; ++i) {
        filler += "0 0 200 203 205 208\n";
    }
    for (; size < (uint64_t{68} << 20); size += filler.size(), lines += 4096) {
        out << filler;
    }
    out << "0 0 2";
    out.close();
    EXPECT_EQ(255, RunProgram(CHASER_GAME, {}, {"", replay, ""}, dir.File("cut.errors")));
    const std::vector<std::string> said = ReadLines(dir.File("cut.errors"));
    ASSERT_EQ(1u, said.size()) << ReadText(dir.File("cut.errors"));
    EXPECT_NE(std::string::npos,
              said[0].find("\", line " + std::to_string(lines + 1) + ": cut short"))
        << said[0];

    fs::resize_file(replay, size);
    const Switches longOne{"", replay, dir.File("long.digests")};
    ASSERT_EQ(0, RunProgram(SCRIPTED_GAME, {dir.path().string()}, longOne, dir.File("long.errors")))
        << ReadText(dir.File("long.errors"));
    EXPECT_EQ("", ReadText(dir.File("long.errors")));
    std::vector<std::string> committed = ReadLines(longSession + ".digests");
    committed.resize(100);
    EXPECT_EQ("", FirstDifference(committed, ReadLines(longOne.digests)));
    // The peak over all three runs: the long file's, when it is the higher.
    // Its 68 MiB held at once would show four times over the margin.
    const long peak = PeakOfChildrenKiB();
    EXPECT_LT(peak, shortPeak + 16 * 1024) << "KiB at the peak, against " << shortPeak;
}
#endif  // _WIN32

TEST(ReplayTest, AFailedStartLeavesEarlierFilesAsTheyWere) {
    TempDir dir;
    const Switches switches{dir.File("earlier.replay"), "", dir.File("earlier.digests")};
    std::ofstream(switches.record, std::ios::binary) << "chaser-replay 1\n0 0 205\n";
    std::ofstream(switches.digests, std::ios::binary) << "1 0123456789abcdef\n";
    // A video driver that does not exist: the start fails after the files
    // were opened.
    SetVariable("SDL_VIDEODRIVER", "no-such-driver");
    const int status = RunProgram(CHASER_GAME, {}, switches, dir.File("errors"));
    SetVariable("SDL_VIDEODRIVER", "offscreen");
    EXPECT_EQ(255, status) << ReadText(dir.File("errors"));
    EXPECT_NE(std::string::npos, ReadText(dir.File("errors")).find("no-such-driver"))
        << ReadText(dir.File("errors"));
    EXPECT_EQ("chaser-replay 1\n0 0 205\n", ReadText(switches.record));
    EXPECT_EQ("1 0123456789abcdef\n", ReadText(switches.digests));
}

}  // namespace
}  // namespace dxtest
