// Ending game clients by name, with real processes: copies of sleep named like the client.
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "launcher/update/kill_process.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace fs = std::filesystem;
using testing_support::TempDir;

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

pid_t Start(const fs::path& program, const std::vector<std::string>& args, char** env = environ) {
    std::vector<char*> argv;
    std::string path = program.string();
    argv.push_back(path.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), env) != 0)
        return -1;
    return pid;
}

// The child's wait status once it has ended.
int Reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

bool StillRunning(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == 0;
}

// A copy of sleep under the client's name (or any other), in a directory of the test's own.
class KillProcess : public ::testing::Test {
protected:
    fs::path Client(const std::string& name) {
        const fs::path program = dir / name;
        fs::copy_file("/bin/sleep", program);
        fs::permissions(program, fs::perms(0755));
        return program;
    }

    TempDir dir;
};

TEST_F(KillProcess, EveryProcessOfThatNameIsEnded) {
    const fs::path client = Client("zel.exe");
    const pid_t first = Start(client, {"1000"});
    const pid_t second = Start(client, {"1000"});
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);

    EXPECT_TRUE(KillProcessByName(L"zel.exe", true));
    const int firstStatus = Reap(first);
    const int secondStatus = Reap(second);
    EXPECT_TRUE(WIFSIGNALED(firstStatus) && WTERMSIG(firstStatus) == SIGKILL);
    EXPECT_TRUE(WIFSIGNALED(secondStatus) && WTERMSIG(secondStatus) == SIGKILL);
}

TEST_F(KillProcess, NameIsComparedWithItsLetterCase) {
    const pid_t upper = Start(Client("ZEL.EXE"), {"1000"});
    ASSERT_GT(upper, 0);

    EXPECT_TRUE(KillProcessByName(L"zel.exe", false));
    EXPECT_TRUE(StillRunning(upper));
    kill(upper, SIGKILL);
    Reap(upper);
}

TEST_F(KillProcess, NoMatchingProcessIsNotAFailure) {
    EXPECT_TRUE(KillProcessByName(wxString::Format(L"absent-%d.exe", getpid()), true));
    EXPECT_TRUE(KillProcessByName(L"", true));
}

TEST_F(KillProcess, OwnProcessIsNeverEnded) {
    // A copy of this test program under a name nothing else has.
    const fs::path self = dir / ("self-check-" + std::to_string(getpid()) + ".exe");
    fs::copy_file("/proc/self/exe", self);
    fs::permissions(self, fs::perms(0755));
    std::vector<std::string> env;
    for (char** var = environ; *var != nullptr; ++var)
        env.emplace_back(*var);
    env.push_back(std::string(kSelfCheck) + "=1");
    std::vector<char*> envp;
    for (std::string& var : env)
        envp.push_back(var.data());
    envp.push_back(nullptr);

    const pid_t child = Start(self, {}, envp.data());
    ASSERT_GT(child, 0);
    const int status = Reap(child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
