#include "system/ticks.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

using platform::GetTickCount;
using platform::SetTickSource;

TEST(TicksTest, AReplacedSourceIsUsedUntilRestored) {
    uint32_t now = 0xFFFFFFF0u;
    SetTickSource([&now] { return now; });
    const uint32_t start = GetTickCount();
    now += 0x20; // wraps past 2^32
    EXPECT_EQ(GetTickCount(), 0x10u);
    EXPECT_EQ(GetTickCount() - start, 0x20u); // unsigned differences survive the wrap

    SetTickSource({});
    const uint32_t before = GetTickCount();
    platform::SleepMs(20);
    EXPECT_GE(GetTickCount() - before, 20u);
}

TEST(TicksTest, SourceMayBeSwappedWhileOtherThreadsRead) {
    std::atomic<bool> stop{false};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i) {
        readers.emplace_back([&stop] {
            while (!stop)
                (void)GetTickCount();
        });
    }
    for (uint32_t i = 0; i < 1000; ++i)
        SetTickSource(i % 2 ? std::function<uint32_t()>([i] { return i; }) : nullptr);
    stop = true;
    for (auto& reader : readers)
        reader.join();
    SetTickSource([] { return 7u; });
    EXPECT_EQ(GetTickCount(), 7u);
    SetTickSource({});
}

} // namespace
