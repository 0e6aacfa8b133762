#include "termination_signals.h"

#include <atomic>
#include <csignal>

namespace DuiLib::detail {

namespace {

std::atomic<bool> requested{false};
std::atomic<bool> loopEnded{false};
std::atomic<bool> installed{false};

static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

// Async-signal-safe: atomics, sigaction and raise only.
extern "C" void OnTerminationSignal(int signal) {
    if (loopEnded.load()) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
        raise(signal);
        return;
    }
    requested.store(true);
}

} // namespace

void InstallTerminationHandlers() {
    if (installed.exchange(true))
        return;
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool TakeTerminationRequest() {
    return requested.exchange(false);
}

void TerminationHandlersLoopEnded() {
    loopEnded.store(true);
}

} // namespace DuiLib::detail
