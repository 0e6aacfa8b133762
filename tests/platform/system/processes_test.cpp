#include "system/processes.h"
#include "tests/support/temp_dir.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using platform::CanSignalProcess;
using platform::EndProcess;
using platform::SnapshotProcesses;
using testing_support::TempDir;

// A copy of sleep named like the game client, so the snapshot must report the copy's name.
class ProcessesTest : public ::testing::Test {
protected:
    void SetUp() override {
        exe_ = dir_ / "zel.exe";
        std::filesystem::copy_file("/bin/sleep", exe_);
    }
    void TearDown() override {
        if (child_ > 0) {
            kill(child_, SIGKILL);
            waitpid(child_, nullptr, 0);
        }
    }

    pid_t Start() {
        std::string path = exe_.native();
        std::string seconds = "60";
        char* argv[] = {path.data(), seconds.data(), nullptr};
        EXPECT_EQ(posix_spawn(&child_, path.c_str(), nullptr, nullptr, argv, environ), 0);
        return child_;
    }

    // The name the snapshot gives pid, waiting until the child has replaced our image.
    std::wstring NameOf(pid_t pid) {
        std::wstring name;
        for (int i = 0; i < 500 && name != L"zel.exe"; ++i) {
            const auto snapshot = SnapshotProcesses();
            if (!snapshot)
                return L"<no snapshot>";
            for (const auto& entry : *snapshot) {
                if (entry.pid == pid)
                    name = entry.exeName;
            }
            if (name != L"zel.exe")
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return name;
    }

    TempDir dir_;
    std::filesystem::path exe_;
    pid_t child_ = -1;
};

TEST_F(ProcessesTest, SnapshotNamesAChildAndEndProcessKillsIt) {
    const pid_t pid = Start();
    EXPECT_EQ(NameOf(pid), L"zel.exe");
    EXPECT_TRUE(CanSignalProcess(pid));

    ASSERT_TRUE(EndProcess(pid));
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    child_ = -1;
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);

    EXPECT_FALSE(CanSignalProcess(pid));
    EXPECT_FALSE(EndProcess(pid));
}

TEST_F(ProcessesTest, AProgramReplacedOnDiskKeepsItsName) {
    const pid_t pid = Start();
    ASSERT_EQ(NameOf(pid), L"zel.exe");
    std::filesystem::remove(exe_); // as an update does while the game still runs
    EXPECT_EQ(NameOf(pid), L"zel.exe");
}

TEST_F(ProcessesTest, SnapshotListsThisProcess) {
    const auto snapshot = SnapshotProcesses();
    ASSERT_TRUE(snapshot);
    bool found = false;
    for (const auto& entry : *snapshot)
        found =
            found || (entry.pid == getpid() && entry.exeName == L"platform_system_processes_test");
    EXPECT_TRUE(found);
}

TEST_F(ProcessesTest, NeverEndsThisProcessOrAProcessGroup) {
    EXPECT_FALSE(EndProcess(getpid()));
    EXPECT_TRUE(CanSignalProcess(getpid())); // still here

    // A negative pid names a group: the child's own group here, so a fault ends only the child.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    std::string path = exe_.native();
    std::string seconds = "60";
    char* argv[] = {path.data(), seconds.data(), nullptr};
    ASSERT_EQ(posix_spawn(&child_, path.c_str(), nullptr, &attr, argv, environ), 0);
    posix_spawnattr_destroy(&attr);
    EXPECT_FALSE(EndProcess(-child_));
    EXPECT_FALSE(CanSignalProcess(-child_));
    EXPECT_EQ(waitpid(child_, nullptr, WNOHANG), 0);

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
