#pragma once
// Millisecond ticks that wrap at 2^32, and sleeping. Tests replace the tick source to run
// time limits without waiting.
#include <cstdint>
#include <functional>

namespace platform {

uint32_t GetTickCount();
void SetTickSource(std::function<uint32_t()> source); // empty function restores the clock
void SleepMs(uint32_t milliseconds);

} // namespace platform
