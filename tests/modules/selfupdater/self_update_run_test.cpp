// launcherupdate.exe run for real over a test program directory, started the way the launcher
// starts it, with a stand-in "launcher" that records its starts.
#include "modules/selfupdater/copy_over.h"
#include "modules/selfupdater/launcher_wait.h"
#include "system/path.h"
#include "system/shell.h"
#include "tests/scripts/command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_for.h"
#include "tests/support/zip_maker.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::ListTree;
using testing_support::ReadFile;
using testing_support::RunCommand;
using testing_support::TempDir;
using testing_support::WriteFile;

const fs::path kFakeLauncher = FAKE_LAUNCHER_PATH;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The stand-in's records once `count` lines are there, or after 20 s.
std::vector<std::string> WaitForRecords(const fs::path& programDir, size_t count) {
    std::vector<std::string> lines;
    testing_support::WaitFor(
        [&] {
            return (lines = Lines(ReadFile(programDir / "launcher-started.log"))).size() >= count;
        },
        20000, 50);
    return lines;
}

void CopyExecutable(const fs::path& from, const fs::path& to, const std::string& trailer = "") {
    WriteFile(to, ReadFile(from) + trailer);
    chmod(to.c_str(), 0755);
}

// Paths as the launcher hands them on: wide text made from UTF-8.
std::wstring Wide(const fs::path& path) {
    return platform::FromPath(path).value_or(L"");
}

bool StartLauncher(const fs::path& programDir, const std::wstring& holdMs) {
    return platform::ShellOpen(Wide(programDir / "launcher"), holdMs, Wide(programDir));
}

TEST(SelfUpdateRunTest, WaitsForTheLauncherCopiesTheSourceOverAndRestartsIt) {
    TempDir programDir;
    const fs::path& prog = programDir.path();
    CopyExecutable(kFakeLauncher, prog / "launcher");
    WriteFile(prog / "old.txt", "old");
    WriteFile(prog / "keep.txt", "keep");
    // The unpacked package inside the program directory, as the launcher leaves it.
    const fs::path source = prog / "temp" / "pkg \xE5\x8C\x85";
    CopyExecutable(testing_support::BinDir() / "launcherupdate.exe", source / "launcherupdate.exe");
    CopyExecutable(kFakeLauncher, source / "launcher", "new launcher");
    WriteFile(source / "old.txt", "new");
    WriteFile(source / "data" / "\xE6\x96\xB0 \xE6\x96\x87\xE4\xBB\xB6.txt", "nested");

    ASSERT_TRUE(StartLauncher(prog, L"700"));
    ASSERT_EQ(WaitForRecords(prog, 1).size(), 1u);
    const std::wstring params = L"\"" + Wide(source) + L"/*" + Wide(prog) + L"/";
    ASSERT_TRUE(platform::ShellOpen(Wide(source / "launcherupdate.exe"), params, L""));

    const auto records = WaitForRecords(prog, 4);
    ASSERT_EQ(records.size(), 4u) << ReadFile(prog / "launcherupdate.log");
    // The old launcher ended before the new one started, in the program directory.
    EXPECT_EQ(records[0].rfind("start ", 0), 0u);
    EXPECT_EQ(records[1].rfind("end ", 0), 0u);
    EXPECT_EQ(records[2].substr(records[2].rfind(' ') + 1), prog.native());
    EXPECT_EQ(records[3].rfind("end ", 0), 0u);

    EXPECT_EQ(ReadFile(prog / "old.txt"), "new");
    EXPECT_EQ(ReadFile(prog / "keep.txt"), "keep");
    EXPECT_EQ(ReadFile(prog / "launcher"), ReadFile(source / "launcher"));
    EXPECT_EQ(ReadFile(prog / "launcherupdate.exe"), ReadFile(source / "launcherupdate.exe"));
    EXPECT_EQ(ReadFile(prog / "data" / "\xE6\x96\xB0 \xE6\x96\x87\xE4\xBB\xB6.txt"), "nested");
    struct stat info {};
    ASSERT_EQ(stat((prog / "launcherupdate.exe").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);
    const std::string log = ReadFile(prog / "launcherupdate.log");
    EXPECT_NE(log.find("copied 4 files, 0 failed"), std::string::npos) << log;
    EXPECT_NE(log.find("started the launcher"), std::string::npos) << log;
}

// A file that cannot be put in place (its place is a directory): the rest is copied, the
// launcher comes back all the same, and the versions are not recorded, so it asks again.
TEST(SelfUpdateRunTest, FailedCopyStillRestartsTheLauncherButRecordsNoVersions) {
    TempDir programDir;
    const fs::path& prog = programDir.path();
    CopyExecutable(kFakeLauncher, prog / "launcher");
    WriteFile(prog / "version.ini", "[Version]\nVersion=1.0\nLVersion=1\n");
    WriteFile(prog / "blocked/inside.txt", "a directory where the update has a file");
    const fs::path source = prog / "temp/pkg";
    CopyExecutable(kFakeLauncher, source / "launcher", "new launcher");
    WriteFile(source / "blocked", "file");
    WriteFile(source / "version.ini", "[Version]\nVersion=1.1\nLVersion=2\n");

    ASSERT_TRUE(StartLauncher(prog, L"300"));
    ASSERT_EQ(WaitForRecords(prog, 1).size(), 1u);
    const std::wstring params = L"\"" + Wide(source) + L"/*" + Wide(prog) + L"/";
    ASSERT_TRUE(
        platform::ShellOpen(Wide(testing_support::BinDir() / "launcherupdate.exe"), params, L""));

    const auto records = WaitForRecords(prog, 4);
    ASSERT_EQ(records.size(), 4u) << ReadFile(prog / "launcherupdate.log");
    EXPECT_EQ(records[2].rfind("start ", 0), 0u);
    EXPECT_EQ(ReadFile(prog / "launcher"), ReadFile(source / "launcher"));
    EXPECT_EQ(ReadFile(prog / "version.ini"), "[Version]\nVersion=1.0\nLVersion=1\n");
    const std::string log = ReadFile(prog / "launcherupdate.log");
    EXPECT_NE(log.find("copied 1 files, 1 failed"), std::string::npos) << log;
    EXPECT_NE(log.find("version.ini not copied"), std::string::npos) << log;
    EXPECT_NE(log.find("started the launcher"), std::string::npos) << log;
}

TEST(SelfUpdateRunTest, VersionsAreCopiedOnceEveryOtherFileIsInPlace) {
    TempDir programDir;
    const fs::path& prog = programDir.path();
    WriteFile(prog / "version.ini", "[Version]\nVersion=1.0\nLVersion=1\n");
    WriteFile(prog / "temp/pkg/launcher", "new launcher");
    WriteFile(prog / "temp/pkg/version.ini", "[Version]\nVersion=1.1\nLVersion=2\n");
    selfupdater::UpdateLog log(prog / "launcherupdate.log");
    const auto outcome = selfupdater::CopyContentOver(prog / "temp/pkg", prog, log);
    EXPECT_EQ(outcome.copied, 2u);
    EXPECT_EQ(outcome.failed, 0u);
    EXPECT_EQ(ReadFile(prog / "launcher"), "new launcher");
    EXPECT_EQ(ReadFile(prog / "version.ini"), "[Version]\nVersion=1.1\nLVersion=2\n");
}

TEST(SelfUpdateRunTest, AmbiguousParametersChangeNothing) {
    TempDir programDir;
    const fs::path& prog = programDir.path();
    WriteFile(prog / "temp/pkg/a.txt", "new");
    WriteFile(prog / "a.txt", "old");
    const std::vector<std::string> before = ListTree(prog);
    const fs::path updater = testing_support::BinDir() / "launcherupdate.exe";
    // A second "*": which one divides the two directories?
    const auto run =
        RunCommand({updater, (prog / "temp/pkg").native() + "/*" + prog.native() + "/*/"});
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_NE(run.output.find("refused"), std::string::npos) << run.output;
    EXPECT_EQ(ListTree(prog), before);
    EXPECT_EQ(ReadFile(prog / "a.txt"), "old");
}

TEST(SelfUpdateRunTest, LauncherWaitSeesOnlyTheLauncherOfThatDirectoryAndIsBounded) {
    TempDir programDir;
    TempDir otherDir;
    CopyExecutable(kFakeLauncher, programDir / "launcher");
    ASSERT_TRUE(StartLauncher(programDir.path(), L"1500"));
    ASSERT_EQ(WaitForRecords(programDir.path(), 1).size(), 1u);

    EXPECT_TRUE(selfupdater::LauncherRunsFrom(programDir.path()));
    EXPECT_FALSE(selfupdater::LauncherRunsFrom(otherDir.path()));
    EXPECT_FALSE(selfupdater::WaitForLauncherToEnd(programDir.path(), 100ms, 20ms));
    EXPECT_TRUE(selfupdater::WaitForLauncherToEnd(programDir.path(), 10s, 20ms));
    EXPECT_EQ(WaitForRecords(programDir.path(), 2).size(), 2u);
}

} // namespace
