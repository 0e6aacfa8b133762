#include "system/display.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using platform::CurrentDisplayMode;
using platform::DisplayMode;

void ExpectMode(const DisplayMode& mode, int width, int height, int bits) {
    EXPECT_EQ(mode.width, width);
    EXPECT_EQ(mode.height, height);
    EXPECT_EQ(mode.bitsPerPixel, bits);
}

TEST(DisplayTest, WithoutProviderTheEnvironmentGivesTheMode) {
    unsetenv("LAUNCHER_SCREEN");
    ExpectMode(CurrentDisplayMode(), 1024, 768, 32);
    setenv("LAUNCHER_SCREEN", "1280x720", 1);
    ExpectMode(CurrentDisplayMode(), 1280, 720, 32);
    setenv("LAUNCHER_SCREEN", "800x600x16", 1);
    ExpectMode(CurrentDisplayMode(), 800, 600, 16);
    for (const char* bad : {"", "1280", "1280x", "x720", "1280x720x", "0x600", "-800x600",
                            "800x600x16x1", "800 x600", "wide"}) {
        setenv("LAUNCHER_SCREEN", bad, 1);
        ExpectMode(CurrentDisplayMode(), 1024, 768, 32);
    }
    EXPECT_FALSE(platform::ChangeDisplayMode({800, 600, 16}));
}

TEST(DisplayTest, AProviderAnswersForTheBackend) {
    DisplayMode current{1920, 1080, 24};
    platform::SetDisplayProvider({[&current] { return current; },
                                  [&current](const DisplayMode& mode) {
                                      if (mode.bitsPerPixel != 24)
                                          return false;
                                      current = mode;
                                      return true;
                                  }});
    ExpectMode(CurrentDisplayMode(), 1920, 1080, 24);
    EXPECT_FALSE(platform::ChangeDisplayMode({1920, 1080, 16}));
    EXPECT_TRUE(platform::ChangeDisplayMode({1280, 1024, 24}));
    ExpectMode(CurrentDisplayMode(), 1280, 1024, 24);
    platform::SetDisplayProvider({});
    unsetenv("LAUNCHER_SCREEN");
    ExpectMode(CurrentDisplayMode(), 1024, 768, 32);
}

} // namespace
