// "run.log": truncated at start, one time-stamped line per error record from any thread,
// message-level records dropped, nothing after the target is released.
#include <chrono>
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
    LOG_ERROR(L": load zel.ini error");
    std::thread worker([] { LOG_ERROR(L":delete temp directory failure because %d !", 13); });
    worker.join();
    LOG_MESSAGE(L": %s", L"launcher Init!");
    LOG_ERROR(L": %s", L"游戏正在连接服务器");
    // The precise clock, as the log's: time() may still give the second before.
    const std::time_t after =
        std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());

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
    LOG_ERROR(L": before");
    frame.SetLogFile();
    ReleaseLogTarget();
    EXPECT_EQ(wxLog::SetActiveTarget(nullptr), nullptr); // detached, not just closed
    LOG_ERROR(L": after");
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
    LOG_ERROR(L": written to the launcher's own log");
    EXPECT_EQ(ReadFile(outside / "precious"), "must not be truncated\n");
    EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(dir / "run.log")));
    EXPECT_NE(Log().find("written to the launcher's own log"), std::string::npos) << Log();
}

// A record names its source as the tree does, whatever directory the build ran in.
TEST_F(RunLog, RecordsNameTheirSourceRelativeToTheTree) {
    frame.SetLogFile();
    LogMessageBox(L"提示", L"made in the launcher's log code");
    LOG_ERROR(L": made in this test");
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

// The source and line come before a record's own format, so the format's first "%s" takes the
// record's first argument, and a record that has its own placeholders reads whole.
TEST_F(RunLog, ARecordIsItsSourceAndLineThenItsOwnFormatFilledWithItsOwnArguments) {
    frame.SetLogFile();
    LogMessageBox(L"提示", L"zel.ini is missing");
    const int line = __LINE__ + 1;
    LOG_ERROR(L": %s is larger than %d bytes and is not read", L"zel.ini", 4096);
    LOG_ERROR(L" %s(%d) is text here", L"a", 1);

    std::istringstream lines(Log());
    std::vector<std::string> texts;
    for (std::string text; std::getline(lines, text);)
        texts.push_back(text.substr(text.find(": Error: ") + 9));
    ASSERT_EQ(texts.size(), 3u) << Log();
    // Made in the launcher's own code: "launcher/log.cpp(<line>): ...".
    const std::string box = "launcher/log.cpp(";
    ASSERT_EQ(texts[0].substr(0, box.size()), box) << texts[0];
    const size_t close = texts[0].find(')');
    ASSERT_NE(close, std::string::npos) << texts[0];
    const std::string boxLine = texts[0].substr(box.size(), close - box.size());
    EXPECT_FALSE(boxLine.empty()) << texts[0];
    EXPECT_EQ(boxLine.find_first_not_of("0123456789"), std::string::npos) << texts[0];
    EXPECT_EQ(texts[0].substr(close), "): message box \"提示\": zel.ini is missing");
    const auto at = [](int n) { return "tests/launcher/log_test.cpp(" + std::to_string(n) + ")"; };
    EXPECT_EQ(texts[1], at(line) + ": zel.ini is larger than 4096 bytes and is not read");
    EXPECT_EQ(texts[2], at(line + 1) + " a(1) is text here");
}
