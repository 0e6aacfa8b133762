// "run.log": truncated at start, one time-stamped line per error record from any thread,
// message-level records dropped, nothing after the target is released.
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iomanip>
#include <sstream>
#include <thread>
#include <vector>

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
        ReleaseLogTarget();
        frame.LogTarget = nullptr;
        TheLauncherFrame = nullptr;
    }
    std::string Log() const { return ReadFile(dir / "run.log"); }

    TempDir dir;
    LauncherFrameWnd frame;
};

// "YYYY-MM-DD HH:MM:SS: Error: <source>(<line>):<text>", one line per record, stamped with the
// local time to the second on the UI thread and workers alike. A zone far from UTC (eight hours
// east, no daylight saving) tells local time from UTC.
TEST_F(RunLog, ErrorRecordsFromAnyThreadAreLinesStampedWithLocalTime) {
    setenv("TZ", "CST-8", 1);
    tzset();
    frame.SetLogFile();
    ASSERT_NE(frame.LogTarget.load(), nullptr);
    EXPECT_EQ(Log(), ""); // truncated; "launcher started!" is below the level

    const std::time_t before = std::time(nullptr);
    LOG_ERROR(L"%s(%d): load zel.ini error");
    std::thread worker([] { LOG_ERROR(L"%s(%d):delete temp directory failure because %d !", 13); });
    worker.join();
    LOG_MESSAGE(L"%s(%d): %s", L"launcher Init!");
    LOG_ERROR(L"%s(%d): %s", L"游戏正在连接服务器");
    const std::time_t after = std::time(nullptr);

    std::istringstream lines(Log());
    std::vector<std::string> texts;
    for (std::string text; std::getline(lines, text);) {
        std::tm stamp{};
        std::istringstream line(text);
        line >> std::get_time(&stamp, "%Y-%m-%d %H:%M:%S");
        ASSERT_FALSE(line.fail()) << text;
        stamp.tm_isdst = -1;
        const std::time_t made = std::mktime(&stamp);
        EXPECT_GE(made, before) << text;
        EXPECT_LE(made, after) << text;
        EXPECT_EQ(text.substr(19, 9), ": Error: ") << text;
        const size_t source = text.find("log_test.cpp(");
        ASSERT_NE(source, std::string::npos) << text;
        texts.push_back(text.substr(text.find("):", source) + 2));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{" load zel.ini error",
                                               "delete temp directory failure because 13 !",
                                               " 游戏正在连接服务器"}));
}

// What a message box said, as the headless launcher keeps it.
TEST_F(RunLog, AMessageBoxIsKeptWithItsCaptionAndText) {
    LogMessageBox(L"提示", L"before the log is open");
    frame.SetLogFile();
    LogMessageBox(L"错误", L"游戏无法启动，缺少 Version.ini 文件或重新安装游戏！");
    const std::string log = Log();
    EXPECT_NE(
        log.find("message box \"错误\": 游戏无法启动，缺少 Version.ini 文件或重新安装游戏！\n"),
        std::string::npos)
        << log;
    EXPECT_EQ(log.find("before the log is open"), std::string::npos) << log;
}

TEST_F(RunLog, NothingIsWrittenBeforeOpeningOrAfterRelease) {
    LOG_ERROR(L"%s(%d): before");
    frame.SetLogFile();
    ReleaseLogTarget();
    EXPECT_EQ(wxLog::SetActiveTarget(nullptr), nullptr); // detached, not just closed
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

TEST_F(RunLog, ALinkInTheLogsPlaceIsReplacedAndWhatItPointsToIsUntouched) {
    TempDir outside;
    WriteFile(outside / "precious", "must not be truncated\n");
    std::filesystem::remove(dir / "run.log");
    std::filesystem::create_symlink(outside / "precious", dir / "run.log");
    frame.SetLogFile();
    ASSERT_NE(frame.LogTarget.load(), nullptr);
    LOG_ERROR(L"%s(%d): written to the launcher's own log");
    EXPECT_EQ(ReadFile(outside / "precious"), "must not be truncated\n");
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(dir / "run.log")));
    EXPECT_NE(Log().find("written to the launcher's own log"), std::string::npos) << Log();
}

// A record names its source as the tree does, whatever directory the build ran in.
TEST_F(RunLog, RecordsNameTheirSourceRelativeToTheTree) {
    frame.SetLogFile();
    LogMessageBox(L"提示", L"made in the launcher's log code");
    LOG_ERROR(L"%s(%d): made in this test");
    std::istringstream lines(Log());
    std::vector<std::string> sources;
    for (std::string line; std::getline(lines, line);) {
        const size_t start = line.find(": Error: ");
        ASSERT_NE(start, std::string::npos) << line;
        const size_t source = start + 9;
        sources.push_back(line.substr(source, line.find('(', source) - source));
    }
    EXPECT_EQ(sources,
              (std::vector<std::string>{"launcher/log.cpp", "tests/launcher/log_test.cpp"}));
}
