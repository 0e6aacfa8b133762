#include "system/display.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <vector>

namespace {

const std::vector<int> kDefault{1024, 768, 32};

std::vector<int> Mode() {
    const platform::DisplayMode mode = platform::CurrentDisplayMode();
    return {mode.width, mode.height, mode.bitsPerPixel};
}

// Without a display backend the environment gives the screen, the default otherwise.
TEST(DisplayTest, WithoutProviderTheEnvironmentGivesTheMode) {
    setenv("LAUNCHER_SCREEN", "1280x720", 1);
    EXPECT_EQ(Mode(), (std::vector<int>{1280, 720, 32}));
    setenv("LAUNCHER_SCREEN", "800x600x16", 1);
    EXPECT_EQ(Mode(), (std::vector<int>{800, 600, 16}));
    for (const char* bad : {"", "1280", "1280x", "x720", "1280x720x", "0x600", "-800x600",
                            "800x600x16x1", "800 x600", "wide"}) {
        setenv("LAUNCHER_SCREEN", bad, 1);
        EXPECT_EQ(Mode(), kDefault) << bad;
    }
    unsetenv("LAUNCHER_SCREEN");
    EXPECT_EQ(Mode(), kDefault);
    EXPECT_FALSE(platform::ChangeDisplayMode({800, 600, 16}));
}

} // namespace
