#include "system/path.h"
#include "system/shell.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace {

using platform::ShellOpen;
using platform::SplitCommandLine;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;
using Args = std::vector<std::string>;

TEST(SplitCommandLineTest, FollowsTheWindowsRuntimeRules) {
    const std::pair<const char*, Args> cases[] = {
        {"", {}},
        {" a b\tc ", {"a", "b", "c"}},
        {"\"a b\" c", {"a b", "c"}},
        {"x\"a b\"y z", {"xa by", "z"}}, // quotes group inside a word
        {"\"\"", {""}},
        {"a \"\" b", {"a", "", "b"}},
        {"\"unterminated run", {"unterminated run"}},
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
    for (const auto& [params, expected] : cases)
        EXPECT_EQ(SplitCommandLine(params), expected) << "params: " << params;
}

// Polls for a file a child process writes; children here finish within milliseconds.
std::string WaitForFile(const std::filesystem::path& file) {
    for (int i = 0; i < 1000 && !std::filesystem::exists(file); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return ReadFile(file);
}

// An executable script that records its directory and arguments, renaming the record into
// place so a reader never sees half of it.
void WriteRecorder(const std::filesystem::path& script, const std::filesystem::path& record) {
    const std::string part = "'" + record.native() + ".part'";
    WriteFile(script,
              "#!/bin/sh\n{ pwd; for a in \"$0\" \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > " +
                  part + "\nmv " + part + " '" + record.native() + "'\n");
    chmod(script.c_str(), 0755);
}

TEST(ShellOpenTest, StartsAProgramWithSplitArgumentsInItsWorkingDirectoryOrSaysWhyNot) {
    TempDir dir;
    const auto script = dir / "game dir/client.exe";
    const std::wstring program = *platform::FromPath(script);
    WriteRecorder(script, dir / "record.txt");
    WriteFile(dir / "not-executable", "#!/bin/sh\n");
    EXPECT_FALSE(ShellOpen(*platform::FromPath(dir / "missing.exe"), L"", L""));
    EXPECT_FALSE(ShellOpen(*platform::FromPath(dir / "not-executable"), L"", L""));
    EXPECT_FALSE(ShellOpen(program, L"", *platform::FromPath(dir / "work"))); // not there yet
    EXPECT_FALSE(ShellOpen(L"", L"", L""));

    // Only this start writes a record; one from a start that failed would come first.
    std::filesystem::create_directories(dir / "work");
    ASSERT_TRUE(
        ShellOpen(program, L"-a \"two words\" x\\\"y \u4E2D", *platform::FromPath(dir / "work")));
    EXPECT_EQ(WaitForFile(dir / "record.txt"),
              (dir / "work").native() + "\n[" + script.native() +
                  "]\n[-a]\n[two words]\n[x\"y]\n[\xE4\xB8\xAD]\n");
}

} // namespace
