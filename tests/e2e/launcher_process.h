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
// As generous, for a start as far as the launcher's signal handlers.
constexpr int kStartTimeoutMs = 30000;

// Waits until process pid catches signalNumber with a handler of its own (its SigCgt in
// /proc/PID/status), which the launcher installs before it shows or does anything. True once it
// does; false when the process ended first or timeoutMs passed. Before that moment a SIGTERM
// would kill the launcher instead of closing it.
bool WaitUntilCatches(pid_t pid, int signalNumber, int timeoutMs = kStartTimeoutMs);

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
    // SIGTERM and SIGINT wait until the launcher catches them (see WaitUntilCatches), so that
    // they close it however early they come; other signals are sent at once.
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
