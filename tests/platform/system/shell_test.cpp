#include "system/path.h"
#include "system/shell.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using platform::ShellOpen;
using platform::SplitCommandLine;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;
using Args = std::vector<std::string>;

TEST(SplitCommandLineTest, FollowsTheWindowsRuntimeRules) {
    struct Case {
        const char* params;
        Args expected;
    };
    const Case cases[] = {
        {"", {}},
        {" \t ", {}},
        {"a b\tc", {"a", "b", "c"}},
        {"  lead  trail  ", {"lead", "trail"}},
        {"\"a b\" c", {"a b", "c"}},
        {"x\"a b\"y z", {"xa by", "z"}}, // quotes group inside a word
        {"\"\"", {""}},
        {"a \"\" b", {"a", "", "b"}},
        {"\"unterminated run", {"unterminated run"}},
        {"a \"b c", {"a", "b c"}},
        {"a\\\"b", {"a\"b"}},           // 1 backslash + quote: literal quote
        {"a\\\\\"b c\"", {"a\\b c"}},   // 2 backslashes + quote: one backslash, quote groups
        {"a\\\\\\\"b", {"a\\\"b"}},     // 3 backslashes + quote
        {"a\\\\\\\\\"b\"", {"a\\\\b"}}, // 4 backslashes + quote
        {"C:\\Games\\zel\\ dir\\", {"C:\\Games\\zel\\", "dir\\"}},
        {"\"C:\\Program Files\\\\\" next", {"C:\\Program Files\\", "next"}},
        {"\"a\"\"b\"", {"a\"b"}}, // "" inside quotes
        {"-server:1 -name=\"\xE6\x9C\x8D \xE5\x8A\xA1\"",
         {"-server:1", "-name=\xE6\x9C\x8D \xE5\x8A\xA1"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitCommandLine(c.params), c.expected) << "params: " << c.params;
}

// Polls for a file a child process writes; children here finish within milliseconds.
std::string WaitForFile(const std::filesystem::path& file) {
    for (int i = 0; i < 1000 && !std::filesystem::exists(file); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return ReadFile(file);
}

// Writes an executable script that records its arguments and directory, then renames the
// record into place so a reader never sees half of it.
void WriteRecorder(const std::filesystem::path& script, const std::filesystem::path& record) {
    WriteFile(script, "#!/bin/sh\n"
                      "{ pwd; for a in \"$0\" \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > '" +
                          record.native() +
                          ".part'\n"
                          "mv '" +
                          record.native() + ".part' '" + record.native() + "'\n");
    chmod(script.c_str(), 0755);
}

// Children of this process that have ended but were not waited for.
int CountZombieChildren() {
    int zombies = 0;
    DIR* proc = opendir("/proc");
    while (const dirent* entry = proc ? readdir(proc) : nullptr) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line) || line.rfind(')') == std::string::npos)
            continue;
        char state = 0;
        int parent = 0;
        std::istringstream fields(line.substr(line.rfind(')') + 1));
        fields >> state >> parent;
        zombies += state == 'Z' && parent == getpid();
    }
    if (proc)
        closedir(proc);
    return zombies;
}

TEST(ShellOpenTest, StartsAProgramWithSplitArgumentsInItsWorkingDirectory) {
    TempDir dir;
    const auto script = dir / "game dir/zel.exe";
    const auto record = dir / "record.txt";
    WriteRecorder(script, record);
    std::filesystem::create_directories(dir / "work");

    ASSERT_TRUE(ShellOpen(*platform::FromPath(script), L"-a \"two words\" x\\\"y \u4E2D",
                          *platform::FromPath(dir / "work")));
    EXPECT_EQ(WaitForFile(record), (dir / "work").native() + "\n[" + script.native() +
                                       "]\n[-a]\n[two words]\n[x\"y]\n[\xE4\xB8\xAD]\n");
    // The child is reaped by us, so it does not linger as a zombie.
    int zombies = CountZombieChildren();
    for (int i = 0; i < 500 && zombies > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        zombies = CountZombieChildren();
    }
    EXPECT_EQ(zombies, 0);
}

TEST(ShellOpenTest, WithoutWorkingDirectoryTheChildKeepsOurs) {
    TempDir dir;
    WriteRecorder(dir / "tool", dir / "record.txt");
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    ASSERT_TRUE(ShellOpen(L"tool", L"", L"")); // relative to our directory
    EXPECT_EQ(WaitForFile(dir / "record.txt"),
              dir.path().native() + "\n[" + (dir / "tool").native() + "]\n");
}

TEST(ShellOpenTest, UrlsGoToXdgOpen) {
    TempDir dir;
    // A stand-in xdg-open first on PATH records what it was asked to open.
    WriteRecorder(dir / "bin/xdg-open", dir / "record.txt");
    const std::string path = (dir / "bin").native() + ":" + std::getenv("PATH");
    setenv("PATH", path.c_str(), 1);
    ASSERT_TRUE(ShellOpen(L"HTTPS://example.invalid/news?id=1&x=\"y\"", L"ignored", L""));
    const std::string record = WaitForFile(dir / "record.txt");
    EXPECT_NE(record.find("\n[HTTPS://example.invalid/news?id=1&x=\"y\"]\n"),
              std::string::npos)
        << record; // passed on exactly as given
    EXPECT_EQ(record.find("ignored"), std::string::npos);
}

TEST(ShellOpenTest, ReportsWhatCouldNotBeStarted) {
    TempDir dir;
    WriteFile(dir / "not-executable", "#!/bin/sh\n");
    WriteRecorder(dir / "tool", dir / "record.txt");
    EXPECT_FALSE(ShellOpen(*platform::FromPath(dir / "missing.exe"), L"", L""));
    EXPECT_FALSE(ShellOpen(*platform::FromPath(dir / "not-executable"), L"", L""));
    EXPECT_FALSE(
        ShellOpen(*platform::FromPath(dir / "tool"), L"", *platform::FromPath(dir / "gone")));
    EXPECT_FALSE(ShellOpen(L"", L"", L""));
    EXPECT_FALSE(ShellOpen(std::wstring(1, wchar_t(0xD800)), L"", L""));
    EXPECT_FALSE(
        ShellOpen(*platform::FromPath(dir / "tool"), std::wstring(1, wchar_t(0xDC00)), L""));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(std::filesystem::exists(dir / "record.txt"));
}

} // namespace
