// Ending game clients by name, with real processes: copies of sleep named like the client.
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "launcher/update/kill_process.h"
#include "tests/support/program_copy.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

constexpr const char* kSelfCheck = "KILL_PROCESS_TEST_SELF_CHECK";

// Started as OwnProcessIsNeverEnded's child, this program asks to end every process with its
// own name, then exits 0 when it survived that and the call succeeded.
[[maybe_unused]] const bool selfCheckRan = [] {
    if (std::getenv(kSelfCheck) == nullptr)
        return false;
    const std::string self = fs::read_symlink("/proc/self/exe").filename().string();
    std::_Exit(KillProcessByName(wxString::FromUTF8(self), true) ? 0 : 3);
}();

// The child's wait status once it has ended.
int Reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

TEST(KillProcess, EveryProcessOfThatExactNameIsEnded) {
    TempDir dir;
    const pid_t first = StartProgramCopy(dir.path(), "/bin/sleep", "zel.exe");
    const pid_t second = StartProgramCopy(dir.path(), "/bin/sleep", "zel.exe");
    const pid_t upper = StartProgramCopy(dir.path(), "/bin/sleep", "ZEL.EXE"); // letter case counts
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    ASSERT_GT(upper, 0);

    EXPECT_TRUE(KillProcessByName(L"zel.exe", true));
    EXPECT_TRUE(KillProcessByName(L"", true)); // matches nothing, and that is no failure
    for (const pid_t pid : {first, second}) {
        const int status = Reap(pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }
    int status = 0;
    EXPECT_EQ(waitpid(upper, &status, WNOHANG), 0); // still running
    kill(upper, SIGKILL);
    Reap(upper);
}

TEST(KillProcess, OwnProcessIsNeverEnded) {
    // A copy of this test program under a name nothing else has, so no other process is hit.
    TempDir dir;
    setenv(kSelfCheck, "1", 1); // read by the child's start-up only
    const std::string name = "self-check-" + std::to_string(getpid()) + ".exe";
    const pid_t child = StartProgramCopy(dir.path(), "/proc/self/exe", name, "");
    ASSERT_GT(child, 0);
    const int status = Reap(child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
