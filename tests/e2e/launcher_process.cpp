#include "tests/e2e/launcher_process.h"

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/temp_dir.h"
#include "tests/support/wait_for.h"

namespace testing_support {

namespace {

enum class Catching { Yes, NotYet, Never };

// exec resets the handlers a process caught, so a child not yet past exec shows only those of
// the test, which catches neither SIGTERM nor SIGINT.
Catching CatchState(pid_t pid, int signalNumber) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::optional<uint64_t> caught;
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("State:")) {
            const size_t state = line.find_first_not_of(" \t", 6);
            if (state == std::string::npos || line[state] == 'Z' || line[state] == 'X')
                return Catching::Never;
        } else if (line.starts_with("SigCgt:")) {
            caught = std::stoull(line.substr(7), nullptr, 16);
        }
    }
    if (!caught)
        return Catching::Never; // no such process
    return (*caught >> (signalNumber - 1)) & 1 ? Catching::Yes : Catching::NotYet;
}

} // namespace

bool WaitUntilCatches(pid_t pid, int signalNumber, int timeoutMs) {
    Catching state = Catching::NotYet;
    WaitFor([&] { return (state = CatchState(pid, signalNumber)) != Catching::NotYet; }, timeoutMs,
            5);
    return state == Catching::Yes;
}

void InstallLauncher(const std::filesystem::path& dir, bool withSkin) {
    namespace fs = std::filesystem;
    fs::create_directories(dir);
    fs::copy_file(BinDir() / "launcher", dir / "launcher", fs::copy_options::overwrite_existing);
    if (withSkin)
        fs::copy_file(BinDir() / "bt.dat", dir / "bt.dat", fs::copy_options::overwrite_existing);
}

LauncherProcess::LauncherProcess(const std::filesystem::path& dir, const LaunchOptions& options)
    : standardError_(options.standardError) {
    const std::string program = (dir / "launcher").string();
    const bool headless = std::string_view(options.backend) == "headless";
    pid_ = fork();
    if (pid_ != 0)
        return;
    setenv("LAUNCHER_BACKEND", options.backend, 1);
    if (headless) {
        setenv("LAUNCHER_SCREEN", options.screen, 1);
        unsetenv("DISPLAY");
    }
    if (!options.standardError.empty()) {
        const int fd =
            open(options.standardError.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0 || dup2(fd, STDERR_FILENO) < 0)
            _exit(127);
    }
    if (chdir(dir.c_str()) != 0)
        _exit(127);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
}

LauncherProcess::~LauncherProcess() {
    if (pid_ > 0 && !reaped_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::optional<int> LauncherProcess::WaitForExit(int timeoutMs) {
    if (!reaped_ &&
        WaitFor([&] { return waitpid(pid_, &status_, WNOHANG) == pid_; }, timeoutMs, 20)) {
        reaped_ = true;
        if (WIFSIGNALED(status_) && WTERMSIG(status_) != signalled_)
            std::fprintf(stderr, "launcher ended by signal %d: %s\n", WTERMSIG(status_),
                         ReadFile(standardError_).c_str());
    }
    if (reaped_ && WIFEXITED(status_))
        return WEXITSTATUS(status_);
    return std::nullopt;
}

void LauncherProcess::Signal(int signalNumber) {
    if (pid_ <= 0 || reaped_)
        return;
    if (signalNumber == SIGTERM || signalNumber == SIGINT)
        WaitUntilCatches(pid_, signalNumber);
    if (kill(pid_, signalNumber) == 0)
        signalled_ = signalNumber;
}

std::vector<pid_t> ProcessesWhere(const std::function<bool(const std::filesystem::path&)>& match) {
    std::vector<pid_t> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") == std::string::npos && match(entry.path()))
            found.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return found;
}

} // namespace testing_support
