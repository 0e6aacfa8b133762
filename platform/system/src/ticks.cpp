#include "system/ticks.h"

#include <chrono>
#include <mutex>
#include <thread>

namespace platform {

namespace {

std::mutex sourceMutex;
std::function<uint32_t()> source;

uint32_t ClockTicks() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

} // namespace

uint32_t GetTickCount() {
    std::function<uint32_t()> current;
    {
        std::lock_guard lock(sourceMutex);
        current = source;
    }
    // Called outside the lock so a source may itself read or replace the clock.
    return current ? current() : ClockTicks();
}

void SetTickSource(std::function<uint32_t()> replacement) {
    std::lock_guard lock(sourceMutex);
    source = std::move(replacement);
}

void SleepMs(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace platform
