// Ending game clients by name, with real processes: copies of sleep named like the client, in
// the program directory and elsewhere, as this user and as another one. The sleeps the call
// asks for are recorded by standing in front of the C library's nanosleep.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "launcher/update/kill_process.h"
#include "system/program_directory.h"
#include "tests/support/program_copy.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

std::mutex sleepsMutex;
std::vector<long> sleptMs; // every sleep asked for in this process, in milliseconds

std::vector<long> Sleeps() {
    std::lock_guard lock(sleepsMutex);
    return sleptMs;
}

void ForgetSleeps() {
    std::lock_guard lock(sleepsMutex);
    sleptMs.clear();
}

} // namespace

extern "C" int nanosleep(const struct timespec* wanted, struct timespec* left) {
    {
        std::lock_guard lock(sleepsMutex);
        sleptMs.push_back(wanted->tv_sec * 1000 + wanted->tv_nsec / 1000000);
    }
    using Next = int (*)(const struct timespec*, struct timespec*);
    static const auto next = reinterpret_cast<Next>(dlsym(RTLD_NEXT, "nanosleep"));
    return next(wanted, left);
}

namespace {

constexpr const char* kSelfCheck = "KILL_PROCESS_TEST_SELF_CHECK";

// Started as OwnProcessIsSkippedWithoutWaiting's child, from its own program directory, this
// program asks to end every process with its own name there, then exits 0 when it survived
// that, the call succeeded and nothing was waited for.
[[maybe_unused]] const bool selfCheckRan = [] {
    if (std::getenv(kSelfCheck) == nullptr)
        return false;
    const std::string self = fs::read_symlink("/proc/self/exe").filename().string();
    const bool succeeded = KillProcessByName(wxString::FromUTF8(self), true);
    std::_Exit(succeeded && Sleeps().empty() ? 0 : 3);
}();

// The child's wait status once it has ended.
int Reap(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

bool EndedByKill(pid_t pid) {
    const int status = Reap(pid);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// True when the child runs and no SIGKILL is on its way to it: a kill is pending from the
// moment kill() returns until the process is gone, so this needs no waiting.
bool StillRuns(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) != 0)
        return false;
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with("State:") && line.find_first_of("ZX", 6) != std::string::npos)
            return false;
        if (line.starts_with("SigPnd:") || line.starts_with("ShdPnd:")) {
            constexpr unsigned long long kKill = 1ull << (SIGKILL - 1);
            if (std::stoull(line.substr(7), nullptr, 16) & kKill)
                return false;
        }
    }
    return in.eof();
}

void EndAndReap(pid_t pid) {
    kill(pid, SIGKILL);
    Reap(pid);
}

class KillProcess : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetProgramDirectory(program.wide());
        ForgetSleeps();
    }
    void TearDown() override { platform::SetProgramDirectory(L""); }

    TempDir program;
};

TEST_F(KillProcess, EveryClientOfThisProgramDirectoryIsEndedAndWaitedFor) {
    const pid_t first = StartProgramCopy(program.path(), "/bin/sleep", "zel.exe");
    const pid_t second = StartProgramCopy(program.path(), "/bin/sleep", "zel.exe");
    const pid_t upper = StartProgramCopy(program.path(), "/bin/sleep", "ZEL.EXE"); // case counts
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    ASSERT_GT(upper, 0);

    EXPECT_TRUE(KillProcessByName(L"zel.exe", true));
    EXPECT_EQ(Sleeps(), std::vector<long>{500});
    EXPECT_TRUE(KillProcessByName(L"", true)); // matches nothing, and that is no failure
    EXPECT_TRUE(EndedByKill(first));
    EXPECT_TRUE(EndedByKill(second));
    EXPECT_TRUE(StillRuns(upper));
    EndAndReap(upper);

    // Nothing ended: nothing to wait for.
    ForgetSleeps();
    EXPECT_TRUE(KillProcessByName(L"zel.exe", true));
    EXPECT_TRUE(Sleeps().empty());
}

TEST_F(KillProcess, ClientOfAnotherInstallationSurvivesAndOneReachedThroughALinkIsEnded) {
    TempDir other;
    const pid_t foreign = StartProgramCopy(other.path(), "/bin/sleep", "zel.exe");
    ASSERT_GT(foreign, 0);
    // The program directory named through a link: the system resolves the link in both paths.
    TempDir links;
    fs::create_directory_symlink(program.path(), links / "game");
    platform::SetProgramDirectory((links / "game").wstring());
    const pid_t own = StartProgramCopy(program.path(), "/bin/sleep", "zel.exe");
    ASSERT_GT(own, 0);

    EXPECT_TRUE(KillProcessByName(L"zel.exe", false));
    EXPECT_TRUE(EndedByKill(own));
    EXPECT_TRUE(StillRuns(foreign));
    EndAndReap(foreign);
}

TEST_F(KillProcess, ClientReplacedOnDiskWhileItRunsIsStillEnded) {
    // An update renames the new client over the running one's file.
    const pid_t running = StartProgramCopy(program.path(), "/bin/sleep", "zel.exe");
    ASSERT_GT(running, 0);
    fs::remove(program / "zel.exe");
    WriteFile(program / "zel.exe", "new client");
    EXPECT_TRUE(KillProcessByName(L"zel.exe", false));
    EXPECT_TRUE(EndedByKill(running));
}

TEST_F(KillProcess, ClientOfAnotherUserSurvivesEvenWhenWeMaySignalIt) {
    if (getuid() != 0)
        GTEST_SKIP() << "only root can start a process as another user";
    fs::permissions(program.path(), fs::perms(0755));
    fs::copy_file("/bin/sleep", program / "zel.exe");
    const pid_t other = fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        constexpr uid_t kNobody = 65534;
        if (setgid(kNobody) != 0 || setuid(kNobody) != 0)
            _exit(126);
        const std::string path = (program / "zel.exe").string();
        execl(path.c_str(), path.c_str(), "1000", nullptr);
        _exit(127);
    }
    // Wait until the child runs the client's image as the other user.
    bool started = false;
    for (int attempt = 0; attempt < 2000 && !started; ++attempt) {
        std::error_code error;
        const fs::path image = fs::read_symlink("/proc/" + std::to_string(other) + "/exe", error);
        started = !error && image == program / "zel.exe";
        if (!started)
            usleep(5000);
    }
    ASSERT_TRUE(started);

    EXPECT_TRUE(KillProcessByName(L"zel.exe", true));
    EXPECT_TRUE(StillRuns(other));
    EXPECT_TRUE(Sleeps().empty());
    EndAndReap(other);
}

TEST_F(KillProcess, OwnProcessIsSkippedWithoutWaiting) {
    // A copy of this test program under a name nothing else has, so no other process is hit;
    // its program directory is its own.
    setenv(kSelfCheck, "1", 1); // read by the child's start-up only
    const std::string name = "self-check-" + std::to_string(getpid()) + ".exe";
    const pid_t child = StartProgramCopy(program.path(), "/proc/self/exe", name, "");
    ASSERT_GT(child, 0);
    const int status = Reap(child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
