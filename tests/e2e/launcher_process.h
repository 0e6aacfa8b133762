#pragma once
// Runs the real launcher executable from a temporary program directory.
#include <filesystem>
#include <functional>
#include <optional>
#include <sys/types.h>
#include <vector>

namespace testing_support {

// Copies bin/launcher and bin/bt.dat (unless withSkin is false) into dir.
void InstallLauncher(const std::filesystem::path& dir, bool withSkin = true);

struct LaunchOptions {
    // "headless" runs without DISPLAY and with `screen` as its screen size; "display" uses the
    // X server of DISPLAY.
    const char* backend = "headless";
    const char* screen = "1024x768";
    std::filesystem::path standardError; // empty: the test's own
};

// Generous: a machine busy with other tests' syncs or a sanitizer build slows an exit by seconds.
constexpr int kExitTimeoutMs = 30000;

class LauncherProcess {
public:
    // Starts dir/launcher with dir as its working directory.
    explicit LauncherProcess(const std::filesystem::path& dir, const LaunchOptions& options = {});
    ~LauncherProcess();
    LauncherProcess(const LauncherProcess&) = delete;
    LauncherProcess& operator=(const LauncherProcess&) = delete;

    pid_t pid() const { return pid_; }
    // The exit code when the process ended within timeoutMs; nullopt when it still runs or
    // ended by a signal (reported on standard error unless the test sent it). The default bound
    // is for an exit that must come; a test that expects none passes a short one.
    std::optional<int> WaitForExit(int timeoutMs = kExitTimeoutMs);
    void Signal(int signalNumber);

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0;
    int signalled_ = 0;
    std::filesystem::path standardError_;
};

// The running processes whose /proc directory satisfies match.
std::vector<pid_t> ProcessesWhere(const std::function<bool(const std::filesystem::path&)>& match);

} // namespace testing_support
