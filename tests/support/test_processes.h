// Processes for tests: the environment they inherit, shell commands and
// their exit status, waiting for a condition or a child with a time limit,
// children started as from a terminal, and an X server of a test's own.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;
#endif

namespace testprocesses {

using namespace std::chrono_literals;

// Sets a variable of this process's environment (and so of every child it
// starts); an empty value removes it.
inline void SetVariable(const char* name, const std::string& value) {
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    if (value.empty()) {
        unsetenv(name);
    } else {
        setenv(name, value.c_str(), 1);
    }
#endif
}

// A variable set for as long as this lives, then as it was.
class ScopedVariable {
  public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        SetVariable(name, value);
    }
    ~ScopedVariable() { SetVariable(name_, old_.value_or("")); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// Runs a command line through the system's shell: its exit status, 0 to 255;
// on POSIX 1000 + the wait status when a signal ended it.
inline int RunShell(const std::string& command) {
#ifdef _WIN32
    // cmd /c drops the first and last quote of a line that has more than two.
    return std::system(("\"" + command + "\"").c_str()) & 0xFF;
#else
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 1000 + raw;
#endif
}

// Asks `holds` every few milliseconds until it is true (then true) or
// `limit` has passed (then false).
inline bool WaitUntil(const std::function<bool()>& holds, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!holds()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

#ifndef _WIN32
// The child's wait status once it has ended, waiting up to `limit`; nothing
// while it still runs.
inline std::optional<int> EndedWithin(pid_t child, std::chrono::milliseconds limit) {
    int status = 0;
    if (WaitUntil([&] { return waitpid(child, &status, WNOHANG) == child; }, limit)) {
        return status;
    }
    return std::nullopt;
}

// As EndedWithin, but a child still running then is killed (and reaped).
inline std::optional<int> EndedOrKilled(pid_t child, std::chrono::milliseconds limit) {
    const std::optional<int> status = EndedWithin(child, limit);
    if (!status) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }
    return status;
}

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

// Starts `argv` (looked up on PATH) with the usual quit signals, the file
// actions given if any and this process's environment; -1 when it cannot.
inline pid_t Spawn(const std::vector<std::string>& argv,
                   const posix_spawn_file_actions_t* actions = nullptr) {
    std::vector<char*> pointers;
    for (const std::string& argument : argv) {
        pointers.push_back(const_cast<char*>(argument.c_str()));
    }
    pointers.push_back(nullptr);
    posix_spawnattr_t attributes;
    UsualQuitSignals(&attributes);
    pid_t child = -1;
    const int spawned =
        posix_spawnp(&child, pointers[0], actions, &attributes, pointers.data(), environ);
    posix_spawnattr_destroy(&attributes);
    return spawned == 0 ? child : -1;
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

}  // namespace testprocesses
