// "run.log": truncated at start, one time-stamped line per error record from any thread,
// message-level records dropped, nothing after the target is released.
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "tests/support/program_dir.h"

using namespace testing_support;

class RunLog : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir / "run.log", "left from the last run\n");
        UseProgramDirectory(dir, false);
        TheLauncherFrame = &frame;
    }
    void TearDown() override {
        ReleaseLogTarget(frame);
        TheLauncherFrame = nullptr;
    }
    std::string Log() const { return ReadFile(dir / "run.log"); }

    TempDir dir;
    LauncherFrameWnd frame;
};

TEST_F(RunLog, ErrorRecordsFromAnyThreadAreTimeStampedLines) {
    frame.SetLogFile();
    ASSERT_NE(frame.LogTarget.load(), nullptr);
    EXPECT_EQ(Log(), "");  // truncated; "launcher started!" is below the level

    LOG_ERROR(L"%s(%d): load zel.ini error");
    std::thread worker([] { LOG_ERROR(L"%s(%d):delete temp directory failure because %d !", 13); });
    worker.join();
    LOG_MESSAGE(L"%s(%d): %s", L"launcher Init!");

    const std::regex line(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d: Error: .*log_test\.cpp\(\d+\):)"
                          R"(( load zel\.ini error|delete temp directory failure because 13 !)\n)");
    const std::string log = Log();
    auto begin = std::sregex_iterator(log.begin(), log.end(), line);
    EXPECT_EQ(std::distance(begin, std::sregex_iterator()), 2) << log;
    EXPECT_EQ(log.find("launcher Init!"), std::string::npos);
}

TEST_F(RunLog, ChineseTextIsWrittenAsUtf8) {
    frame.SetLogFile();
    LOG_ERROR(L"%s(%d): %s", L"游戏正在连接服务器");
    EXPECT_NE(Log().find("游戏正在连接服务器"), std::string::npos);
}

TEST_F(RunLog, NothingIsWrittenBeforeOpeningOrAfterRelease) {
    LOG_ERROR(L"%s(%d): before");
    frame.SetLogFile();
    ReleaseLogTarget(frame);
    EXPECT_EQ(wxLog::SetActiveTarget(nullptr), nullptr);  // detached, not just closed
    LOG_ERROR(L"%s(%d): after");
    EXPECT_EQ(Log(), "");
}

TEST_F(RunLog, UnopenableFileLeavesLoggingOff) {
    std::filesystem::remove(dir / "run.log");
    std::filesystem::create_directory(dir / "run.log");
    frame.SetLogFile();
    EXPECT_EQ(frame.LogTarget.load(), nullptr);
    EXPECT_FALSE(IsLogOpen());
}
