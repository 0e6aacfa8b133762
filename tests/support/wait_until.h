#pragma once
// Polls a condition that another thread or process makes true, bounded so that a broken
// hand-over fails the test instead of hanging it.
#include <chrono>
#include <thread>

namespace testing_support {

// True once done() holds; false when it still does not after `limit`.
template <typename Condition>
bool WaitUntil(Condition done, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace testing_support
