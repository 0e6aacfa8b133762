#include "tests/e2e/launcher_process.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace testing_support {

void InstallLauncher(const std::filesystem::path& dir, bool withSkin) {
    namespace fs = std::filesystem;
    fs::create_directories(dir);
    fs::copy_file(BinDir() / "launcher", dir / "launcher", fs::copy_options::overwrite_existing);
    if (withSkin)
        fs::copy_file(BinDir() / "bt.dat", dir / "bt.dat", fs::copy_options::overwrite_existing);
}

LauncherProcess::LauncherProcess(const std::filesystem::path& dir, const char* screen) {
    const std::string program = (dir / "launcher").string();
    pid_ = fork();
    if (pid_ == 0) {
        setenv("LAUNCHER_BACKEND", "headless", 1);
        setenv("LAUNCHER_SCREEN", screen, 1);
        unsetenv("DISPLAY");
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

LauncherProcess::~LauncherProcess() {
    if (pid_ > 0 && !reaped_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::optional<int> LauncherProcess::WaitForExit(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            reaped_ = true;
            if (WIFEXITED(status))
                return WEXITSTATUS(status);
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

void LauncherProcess::Signal(int signalNumber) {
    if (pid_ > 0 && !reaped_)
        kill(pid_, signalNumber);
}

bool WaitForFile(const std::filesystem::path& file, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::filesystem::exists(file))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace testing_support
