#pragma once
// Polling for something another process or thread brings about, bounded in time.
#include <chrono>
#include <functional>
#include <thread>

namespace testing_support {

// Calls check every pollMs until it holds or timeoutMs have passed; whether it held. Bounded so
// that a broken hand-over fails the test instead of hanging it; generous because a machine busy
// with other tests' syncs can delay a start by seconds, and a wait that holds ends at once.
inline bool WaitFor(const std::function<bool()>& check, int timeoutMs = 30000, int pollMs = 10) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (check())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
}

} // namespace testing_support
