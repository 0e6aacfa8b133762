#pragma once
// Runs the real launcher executable from a temporary program directory, headless.
#include <filesystem>
#include <optional>
#include <sys/types.h>

namespace testing_support {

// Copies bin/launcher and bin/bt.dat (unless withSkin is false) into dir.
void InstallLauncher(const std::filesystem::path& dir, bool withSkin = true);

class LauncherProcess {
public:
    // Starts dir/launcher with LAUNCHER_BACKEND=headless and the given screen size.
    LauncherProcess(const std::filesystem::path& dir, const char* screen = "1024x768");
    ~LauncherProcess();

    // The exit code when the process ended within timeoutMs; nullopt when it still runs or
    // ended by a signal.
    std::optional<int> WaitForExit(int timeoutMs);
    void Signal(int signalNumber);

private:
    pid_t pid_ = -1;
    bool reaped_ = false;
};

// Waits until file exists, up to timeoutMs.
bool WaitForFile(const std::filesystem::path& file, int timeoutMs);

} // namespace testing_support
