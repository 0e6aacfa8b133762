#include "system/processes.h"
#include "tests/support/temp_dir.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using platform::CanSignalProcess;
using platform::EndProcess;
using Snapshot = std::vector<platform::ProcessEntry>;

// A copy of sleep under a name of its own, so the snapshot must report the copy's name. Not the
// game client's: a launcher start in another test may end every process of that name.
class ProcessesTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::copy_file("/bin/sleep", exe_); }
    void TearDown() override {
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
    }

    // Starts the copy, in a process group of its own when ownGroup is set, and returns once it
    // runs the copy's image: the child reports a failed exec through a close-on-exec pipe, whose
    // end without a report means the exec went through.
    pid_t Start(bool ownGroup = false) {
        int report[2];
        if (pipe2(report, O_CLOEXEC) != 0)
            return -1;
        child_ = fork();
        if (child_ == 0) {
            if (ownGroup)
                setpgid(0, 0); // the parent does the same, whichever runs first
            execl(exe_.c_str(), "game-client", "60", nullptr);
            const int error = errno;
            (void)!write(report[1], &error, sizeof error);
            _exit(127);
        }
        close(report[1]);
        if (ownGroup)
            setpgid(child_, child_);
        int error = 0;
        ssize_t got;
        while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
        }
        close(report[0]);
        EXPECT_EQ(got, 0) << "the copy did not start: " << std::strerror(error);
        return child_;
    }

    // What the snapshot says of pid.
    static platform::ProcessEntry EntryOf(pid_t pid) {
        for (auto& entry : platform::SnapshotProcesses().value_or(Snapshot{})) {
            if (entry.pid == pid)
                return entry;
        }
        return {};
    }
    static std::wstring NameOf(pid_t pid) { return EntryOf(pid).exeName; }

    testing_support::TempDir dir_;
    std::filesystem::path exe_ = dir_ / "game-client";
    pid_t child_ = -1;
};

TEST_F(ProcessesTest, SnapshotNamesTheGameEvenWhenItsFileIsGoneAndEndProcessKillsIt) {
    const pid_t pid = Start();
    EXPECT_EQ(NameOf(pid), L"game-client");
    EXPECT_EQ(EntryOf(pid).realUid, getuid());
    std::filesystem::remove(exe_); // as an update does while the game still runs
    EXPECT_EQ(NameOf(pid), L"game-client");
    EXPECT_EQ(EntryOf(pid).exePath, std::filesystem::canonical(dir_.path()) / "game-client");
    EXPECT_TRUE(CanSignalProcess(pid));

    ASSERT_TRUE(EndProcess(pid));
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    child_ = -1;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_FALSE(CanSignalProcess(pid));
    EXPECT_FALSE(EndProcess(pid));
}

TEST_F(ProcessesTest, NeverEndsThisProcessOrAProcessGroup) {
    EXPECT_FALSE(EndProcess(getpid()));
    EXPECT_TRUE(CanSignalProcess(getpid())); // still here

    // A negative pid names a group: the child's own group here, so a fault ends only the child.
    const pid_t leader = Start(true);
    EXPECT_FALSE(EndProcess(-leader));
    EXPECT_FALSE(CanSignalProcess(-leader));
    EXPECT_EQ(waitpid(leader, nullptr, WNOHANG), 0);

    // Pid 0 is the caller's group: asked from a child in a group of its own.
    const pid_t asker = fork();
    ASSERT_GE(asker, 0);
    if (asker == 0) {
        setpgid(0, 0);
        _exit(EndProcess(0) || CanSignalProcess(0) ? 1 : 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(asker, &status, 0), asker);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
}

} // namespace
