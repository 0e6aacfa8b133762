#pragma once
// A main window object (without a native window) in a temporary program directory, with its
// "run.log" open and TheLauncherFrame pointing at it, as while the launcher runs.
#include <string>

#include <gtest/gtest.h>

#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "tests/support/program_dir.h"

namespace testing_support {

class FrameWithLog : public ::testing::Test {
protected:
    void SetUp() override {
        UseProgramDirectory(programDir, false);
        TheLauncherFrame = &frame;
        frame.SetLogFile();
        ASSERT_TRUE(IsLogOpen());
    }
    void TearDown() override {
        ReleaseLogTarget();
        frame.LogTarget = nullptr;
        TheLauncherFrame = nullptr;
    }
    std::string Log() const { return ReadFile(programDir / "run.log"); }

    TempDir programDir;
    LauncherFrameWnd frame;
};

} // namespace testing_support
