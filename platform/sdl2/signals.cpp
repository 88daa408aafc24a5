// Quit signals: SIGINT (Ctrl+C), SIGTERM, and SIGHUP (the terminal went away)
// ask the game to quit through its own loop. A game that cannot answer (a
// display that stopped responding holds it inside a frame) is not left
// running: a second signal, or two seconds without an answer, ends the
// process. A game that already answered and was on its way out ends with 0;
// one that never answered ends as the signal ends any program.
#include "signals.h"

#ifndef _WIN32
#include <signal.h>
#include <unistd.h>
#endif

namespace dxsdl {

#ifndef _WIN32
namespace {

constexpr int kQuitSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr unsigned kAnswerSeconds = 2;

volatile sig_atomic_t pendingSignal = 0;  // the first quit signal, 0 for none
volatile sig_atomic_t answered = 0;       // the game was told to quit

struct sigaction previous[sizeof kQuitSignals / sizeof kQuitSignals[0]];
struct sigaction previousAlarm;
bool caught = false;

// Only async-signal-safe calls from here on.
void EndNow(int signal) {
    if (answered != 0) {
        _exit(0);
    }
    struct sigaction usual {};
    usual.sa_handler = SIG_DFL;
    sigemptyset(&usual.sa_mask);
    sigaction(signal, &usual, nullptr);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    raise(signal);
    _exit(128 + signal);  // not reached: the signal's default action ends us
}

void OnQuitSignal(int signal) {
    if (pendingSignal == 0) {
        pendingSignal = signal;
        alarm(kAnswerSeconds);
        return;
    }
    EndNow(signal);
}

void OnAlarm(int) {
    if (pendingSignal != 0) {
        EndNow(pendingSignal);
    }
}

}  // namespace

void CatchQuitSignals() {
    if (caught) {
        return;
    }
    pendingSignal = 0;
    answered = 0;
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < sizeof kQuitSignals / sizeof kQuitSignals[0]; ++i) {
        sigaction(kQuitSignals[i], &action, &previous[i]);
    }
    action.sa_handler = OnAlarm;
    sigaction(SIGALRM, &action, &previousAlarm);
    caught = true;
}

void ReleaseQuitSignals() {
    if (!caught) {
        return;
    }
    alarm(0);
    for (size_t i = 0; i < sizeof kQuitSignals / sizeof kQuitSignals[0]; ++i) {
        sigaction(kQuitSignals[i], &previous[i], nullptr);
    }
    sigaction(SIGALRM, &previousAlarm, nullptr);
    pendingSignal = 0;
    answered = 0;
    caught = false;
}

bool AnswerQuitSignal() {
    if (pendingSignal == 0) {
        return false;
    }
    answered = 1;
    return true;
}
#else
// Windows delivers Ctrl+C and closing the console to SDL as a quit request.
void CatchQuitSignals() {}
void ReleaseQuitSignals() {}
bool AnswerQuitSignal() {
    return false;
}
#endif

}  // namespace dxsdl
