// Loading the graphics library on Linux: by its full path from the program's
// own folder (/proc/self/exe), beside the executable in the build tree or
// where `cmake --install` puts it. Never by a bare name, so neither
// LD_LIBRARY_PATH nor the working directory can put another library of that
// name in its place; the executable has no run path at all. The file is looked
// at before the system's loader maps it: what is not a regular file, or an ELF
// file cut short (which the loader maps past its end and dies of SIGBUS), is
// refused with a line saying so. Every symbol is bound at load time, so a
// library whose SDL lacks a function fails now, with the system's reason, not
// at the first call of that function in the middle of a game.
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <vector>

#include "graphics_library.h"
#include "program_name.h"

namespace {

namespace fs = std::filesystem;

std::string Explained(const std::string& path, int error) {
    return path + ": " + std::strerror(error);
}

const char* Kind(mode_t mode) {
    if (S_ISFIFO(mode)) {
        return "a named pipe";
    }
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return "not a regular file";
}

// True when all the ELF file's parts its headers point to lie within its
// `size` bytes. A file that is not ELF of this program's own class is left for
// the system's loader to refuse, which it does without mapping it.
bool Whole(int descriptor, uint64_t size, uint64_t* needed) {
    ElfW(Ehdr) header{};
    const ssize_t got = pread(descriptor, &header, sizeof header, 0);
    if (got < EI_NIDENT || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32)) {
        return true;
    }
    *needed = sizeof header;
    if (static_cast<size_t>(got) < sizeof header) {
        return false;
    }
    const auto end = [](uint64_t offset, uint64_t count, uint64_t each) {
        // Counts and entry sizes are 16-bit: the product cannot overflow.
        return offset > UINT64_MAX / 2 ? UINT64_MAX : offset + count * each;
    };
    *needed = std::max(*needed, end(header.e_phoff, header.e_phnum, header.e_phentsize));
    if (header.e_shnum > 0) {
        *needed = std::max(*needed, end(header.e_shoff, header.e_shnum, header.e_shentsize));
    }
    if (*needed > size) {
        return false;
    }
    if (header.e_phentsize != sizeof(ElfW(Phdr))) {
        return true;  // the system's loader refuses it
    }
    std::vector<ElfW(Phdr)> segments(header.e_phnum);
    const size_t bytes = segments.size() * sizeof(ElfW(Phdr));
    if (pread(descriptor, segments.data(), bytes, static_cast<off_t>(header.e_phoff)) !=
        static_cast<ssize_t>(bytes)) {
        return false;
    }
    for (const ElfW(Phdr) & segment : segments) {
        if (segment.p_type == PT_LOAD || segment.p_type == PT_DYNAMIC) {
            *needed = std::max(*needed, end(segment.p_offset, 1, segment.p_filesz));
        }
    }
    return *needed <= size;
}

// Empty when the file at `path` may be handed to the system's loader; else why not.
std::string Refusal(const std::string& path) {
    // Not blocking: a named pipe is opened at once, and then refused.
    const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        return Explained(path, errno);
    }
    std::string refusal;
    struct stat status {};
    uint64_t needed = 0;
    if (fstat(descriptor, &status) != 0) {
        refusal = Explained(path, errno);
    } else if (!S_ISREG(status.st_mode)) {
        refusal = path + " is " + Kind(status.st_mode) + ", not the library's file";
    } else if (!Whole(descriptor, static_cast<uint64_t>(status.st_size), &needed)) {
        refusal = path + " is cut short: " + std::to_string(status.st_size) +
                  " bytes where its headers need " + std::to_string(needed) +
                  " (an interrupted copy or a full disk?); install the game again";
    }
    close(descriptor);
    return refusal;
}

// While the library loads, a quit signal is held for the library's handlers,
// which take it when the game starts (the game then ends with 0). A load that
// spends next to no processor time for two seconds after it (waiting on a
// hung network or FUSE mount, a library whose constructor sleeps) is ended as
// the signal ends a program, and a second quit signal ends it at once, as a
// frozen game is ended once it has started. The watch opens no descriptor: under a low
// `ulimit -n` every one is needed for the library and the display.
class QuitSignalsDuringLoad {
  public:
    QuitSignalsDuringLoad() {
        sigemptyset(&watched_);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            // One the caller ignores (nohup) stays ignored, and ends nothing.
            struct sigaction action {};
            if (sigaction(signal, nullptr, &action) == 0 && action.sa_handler != SIG_IGN) {
                sigaddset(&watched_, signal);
            }
        }
        sigaddset(&watched_, kWake);
        // The watch inherits kWake blocked, so a wake sent before it waits is
        // kept for it.
        sigset_t wake;
        sigemptyset(&wake);
        sigaddset(&wake, kWake);
        sigset_t before;
        pthread_sigmask(SIG_BLOCK, &wake, &before);
        // A plain thread, not std::thread: nothing to allocate or look up
        // when descriptors or memory are short. Without one the load goes
        // unwatched, as it went before.
        watching_ = pthread_create(
                        &watch_, nullptr,
                        [](void* self) -> void* {
                            static_cast<QuitSignalsDuringLoad*>(self)->Watch();
                            return nullptr;
                        },
                        this) == 0;
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
    }
    ~QuitSignalsDuringLoad() {
        if (watching_) {
            done_.store(true);
            pthread_kill(watch_, kWake);
            pthread_join(watch_, nullptr);
        }
        // Still blocked in every thread: pending until the library lets it through.
        if (held_ != 0) {
            kill(getpid(), held_);
        }
    }
    QuitSignalsDuringLoad(const QuitSignalsDuringLoad&) = delete;
    QuitSignalsDuringLoad& operator=(const QuitSignalsDuringLoad&) = delete;

  private:
    // Sent to the watch alone when the load has ended; ignored by default, so
    // one from elsewhere does no harm.
    static constexpr int kWake = SIGURG;
    static constexpr std::chrono::milliseconds kGrace{2000};
    // Processor time the whole process must have spent in a grace period to
    // count as still loading.
    static constexpr std::chrono::milliseconds kWorking{50};

    static std::chrono::nanoseconds ProcessTime() {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
    }

    void Watch() {
        auto deadline = std::chrono::steady_clock::time_point::max();
        std::chrono::nanoseconds workedBefore{0};
        for (;;) {
            timespec timeout{};
            const timespec* limit = nullptr;
            if (held_ != 0) {
                const auto left = std::max(deadline - std::chrono::steady_clock::now(),
                                           std::chrono::steady_clock::duration::zero());
                const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
                timeout.tv_sec = static_cast<time_t>(seconds.count());
                timeout.tv_nsec = static_cast<long>(
                    std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count());
                limit = &timeout;
            }
            const int signal = sigtimedwait(&watched_, nullptr, limit);
            if (done_.load()) {
                return;
            }
            if (signal == -1 && errno == EAGAIN && held_ != 0) {
                // A load that works (under valgrind, on a busy machine) is
                // given the time it takes; one that waits on a hung file
                // system, or sleeps, is not.
                const auto worked = ProcessTime();
                if (worked - workedBefore < kWorking) {
                    EndAs(held_);
                }
                workedBefore = worked;
                deadline = std::chrono::steady_clock::now() + kGrace;
            }
            if (signal == SIGINT || signal == SIGTERM || signal == SIGHUP) {
                if (held_ != 0) {
                    EndAs(signal);
                }
                held_ = signal;
                deadline = std::chrono::steady_clock::now() + kGrace;
                workedBefore = ProcessTime();
            }
        }
    }

    // Ends the process as `signal` ends a program that does not handle it.
    [[noreturn]] static void EndAs(int signal) {
        ::signal(signal, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, signal);
        pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
        raise(signal);
        _exit(128 + signal);
    }

    sigset_t watched_{};
    std::atomic<bool> done_{false};
    int held_ = 0;  // the signal that came during the load; the watch's until it is joined
    pthread_t watch_{};
    bool watching_ = false;
};

}  // namespace

OpenedLibrary OpenGraphicsLibrary(std::string* reason) {
    OpenedLibrary library;
    const std::string executable = program::ExecutablePath();
    if (executable.empty()) {
        *reason = "the program's own folder is unknown (/proc/self/exe: " +
                  std::string(std::strerror(errno)) + ")";
        return library;
    }
    // Its folder, also when the file was replaced (" (deleted)" ends its name).
    const fs::path folder = fs::path(executable).parent_path();
    // Beside the executable (the build tree) when anything of that name is
    // there; else where an install puts it, relative to the executable's folder.
    const fs::path beside = folder / DXLIBDLL_FILE;
    const fs::path installed = (folder / DXLIBDLL_INSTALLED_DIR / DXLIBDLL_FILE).lexically_normal();
    struct stat status {};
    if (lstat(beside.c_str(), &status) == 0 || (errno != ENOENT && errno != ENOTDIR)) {
        library.file = beside.string();
    } else if (lstat(installed.c_str(), &status) == 0 || (errno != ENOENT && errno != ENOTDIR)) {
        library.file = installed.string();
    } else {
        *reason = std::string(DXLIBDLL_FILE) + " is neither beside the program in " +
                  folder.string() + " nor in " + installed.parent_path().string() +
                  "; install the game again";
        return library;
    }
    const QuitSignalsDuringLoad held;
    *reason = Refusal(library.file);
    if (!reason->empty()) {
        return library;
    }
    // Global, as the system would have loaded it for the executable: a
    // preloaded probe that wraps SDL's functions finds them.
    library.handle = dlopen(library.file.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (library.handle == nullptr) {
        const char* error = dlerror();
        *reason = error != nullptr ? error : library.file + ": the system's loader refused it";
    }
    return library;
}

void* FindOperation(void* library, const char* name) {
    return dlsym(library, name);
}

void ReportLoadFailure(const std::string& line) {
    // One write, so that lines of other processes on the stream stay apart.
    const std::string whole = line + "\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, whole.data(), whole.size());
}
