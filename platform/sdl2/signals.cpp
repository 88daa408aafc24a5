// Quit signals: SIGINT (Ctrl+C), SIGTERM, and SIGHUP (the terminal went away)
// ask the game to quit through its own loop. A game that cannot answer (a
// display that stopped responding holds it inside a frame) is not left
// running: a second signal, or two seconds in which the game gives no sign of
// life (a frame or a load), ends the process. A game that already answered
// and was on its way out ends with 0; one that never answered ends as the
// signal ends any program. The same signal again within a few milliseconds
// is the same request, not a second one: closing a terminal sends SIGHUP
// twice (from the kernel, and from the shell passing it on to its jobs).
#include "signals.h"

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#endif

namespace dxsdl {

#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
namespace {

constexpr int kQuitSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr size_t kQuitSignalCount = sizeof kQuitSignals / sizeof kQuitSignals[0];
constexpr int64_t kAnswerNs = 2'000'000'000;
// A repeat of the first signal within this is an echo of it; a person
// pressing Ctrl+C again takes far longer.
constexpr int64_t kEchoNs = 50'000'000;

// Shared with the handlers, which may run on any of the process's threads and
// interrupt any code: lock-free atomics only.
std::atomic<int> pendingSignal{0};  // the first quit signal, 0 for none
std::atomic<bool> answered{false};  // the game was told to quit
std::atomic<int64_t> signalAt{0};   // when the first one came, on the monotonic clock; 0 for none
std::atomic<int64_t> lastSignOfLife{0};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free &&
                  std::atomic<int64_t>::is_always_lock_free,
              "signal handlers may only touch lock-free atomics");

struct sigaction previous[kQuitSignalCount];
bool installed[kQuitSignalCount] = {};  // false where the caller ignores the signal
struct sigaction previousAlarm;
bool caught = false;

// The quit signals and the watchdog's alarm: blocked while a handler runs, so
// the handlers never interrupt one another on a thread, and while the
// handlers are put in place or taken away.
sigset_t HandledSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kQuitSignals) {
        sigaddset(&set, signal);
    }
    sigaddset(&set, SIGALRM);
    return set;
}

// Only async-signal-safe calls from here on.
int64_t Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Wakes the watchdog once `ns` have passed, rounded up to whole seconds.
void WakeWatchdogIn(int64_t ns) {
    alarm(static_cast<unsigned>(std::max<int64_t>((ns + 999'999'999) / 1'000'000'000, 1)));
}

[[noreturn]] void EndNow(int signal) {
    if (answered.load()) {
        _exit(0);
    }
    struct sigaction usual {};
    usual.sa_handler = SIG_DFL;
    sigemptyset(&usual.sa_mask);
    sigaction(signal, &usual, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
    raise(signal);
    _exit(128 + signal);  // not reached: the signal's default action ends us
}

void OnQuitSignal(int signal) {
    // First or second is decided in one step, whichever threads the signals
    // come to.
    int none = 0;
    const int64_t now = Now();
    if (pendingSignal.compare_exchange_strong(none, signal)) {
        signalAt.store(now);
        WakeWatchdogIn(kAnswerNs);
        return;
    }
    // 0: the first one's handler, on another thread, has yet to note its time.
    const int64_t firstAt = signalAt.load();
    if (none == signal && (firstAt == 0 || now - firstAt < kEchoNs)) {
        return;
    }
    EndNow(signal);
}

// The watchdog: two seconds from the signal or from the game's last sign of
// life, whichever is later. A game that keeps answering is never cut off.
void OnAlarm(int) {
    const int signal = pendingSignal.load();
    if (signal == 0) {
        return;
    }
    const int64_t left = std::max(signalAt.load(), lastSignOfLife.load()) + kAnswerNs - Now();
    if (left <= 0) {
        EndNow(signal);
    }
    WakeWatchdogIn(left);  // time is left: look again then
}

}  // namespace

void CatchQuitSignals() {
    if (caught) {
        return;
    }
    const sigset_t handled = HandledSignals();
    pthread_sigmask(SIG_BLOCK, &handled, nullptr);
    pendingSignal.store(0);
    answered.store(false);
    signalAt.store(0);
    lastSignOfLife.store(Now());
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    action.sa_mask = handled;
    // A call blocked when the signal comes (a write to a full pipe) goes on
    // rather than failing with EINTR.
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < kQuitSignalCount; ++i) {
        sigaction(kQuitSignals[i], nullptr, &previous[i]);
        // Ignored by whoever started us (nohup ignores SIGHUP): so it stays.
        installed[i] =
            (previous[i].sa_flags & SA_SIGINFO) != 0 || previous[i].sa_handler != SIG_IGN;
        if (installed[i]) {
            sigaction(kQuitSignals[i], &action, nullptr);
        }
    }
    action.sa_handler = OnAlarm;
    sigaction(SIGALRM, &action, &previousAlarm);
    caught = true;
    // Let through, to the handlers, any that came while they were blocked:
    // the program's first step holds them back until now, so that none
    // arriving during start-up is lost (app/).
    pthread_sigmask(SIG_UNBLOCK, &handled, nullptr);
}

void ReleaseQuitSignals() {
    if (!caught) {
        return;
    }
    const sigset_t handled = HandledSignals();
    sigset_t before;
    pthread_sigmask(SIG_BLOCK, &handled, &before);
    alarm(0);
    // An alarm that went off just before is pending: ignoring SIGALRM for a
    // moment drops it, so it cannot end the process once SIGALRM has its old
    // handling back.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGALRM, &ignore, nullptr);
    sigaction(SIGALRM, &previousAlarm, nullptr);
    for (size_t i = 0; i < kQuitSignalCount; ++i) {
        if (installed[i]) {
            sigaction(kQuitSignals[i], &previous[i], nullptr);
        }
    }
    const int unanswered = answered.load() ? 0 : pendingSignal.load();
    pendingSignal.store(0);
    answered.store(false);
    signalAt.store(0);
    caught = false;
    // A signal the game never answered is passed on to the handling restored
    // above (by default: the end of the process), as is one still blocked
    // here; both arrive when the mask is restored.
    if (unanswered != 0) {
        raise(unanswered);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

bool AnswerQuitSignal() {
    NoteProgress();
    if (pendingSignal.load() == 0) {
        return false;
    }
    answered.store(true);
    return true;
}

void NoteProgress() {
    lastSignOfLife.store(Now());
}
#else
// Windows delivers Ctrl+C and closing the console to SDL as a quit request;
// a web page gets no signals.
void CatchQuitSignals() {}
void ReleaseQuitSignals() {}
bool AnswerQuitSignal() {
    return false;
}
void NoteProgress() {}
#endif

}  // namespace dxsdl
