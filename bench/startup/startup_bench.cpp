// Start-up of the launcher, headless: from the start of a process to the main window's
// "windowinit" (preparation) and to its first child window, beside /bin/true started the same
// way. Each run is a fresh process (this program re-executed with --child) in a fresh program
// directory; the child reports monotonic times through a pipe. Prints the median of 20 runs.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "duilib/ui_thread.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/winmain.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr int Runs = 20;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// In the child: runs the launcher's entry; a watcher notes when the frame is prepared and when
// its first child window exists, writes both to fd, and quits the loop.
int RunChild(const char* programDir, int fd) {
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        int64_t prepared = 0;
        int64_t firstChild = 0;
        while (!done && (prepared == 0 || firstChild == 0)) {
            LauncherFrameWnd* frame = TheLauncherFrame.load();
            if (frame != nullptr && prepared == 0 && frame->WindowPrepared)
                prepared = NowNs();
            if (frame != nullptr && firstChild == 0 && frame->NewsWnd != nullptr)
                firstChild = NowNs();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const int64_t times[2] = {prepared, firstChild};
        if (write(fd, times, sizeof times) != sizeof times)
            std::perror("write");
        DuiLib::PostQuitMessage(0);
    });
    std::wstring dir;
    for (const char* p = programDir; *p != '\0'; ++p)
        dir += static_cast<wchar_t>(*p);
    const int result = WinMain(dir.c_str(), nullptr, "", 0);
    done = true;
    watcher.join();
    return result;
}

// Starts argv with posix_spawn and waits; the start time is taken just before the spawn.
int64_t Spawn(std::vector<std::string> args, int64_t* started) {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    *started = NowNs();
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return NowNs();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0)
        return RunChild(argv[2], std::atoi(argv[3]));
    const char* binDir = std::getenv("LAUNCHER_BIN_DIR");
    if (binDir == nullptr) {
        std::fprintf(stderr, "set LAUNCHER_BIN_DIR to the build's bin/ (it holds bt.dat)\n");
        return 2;
    }
    setenv("LAUNCHER_BACKEND", "headless", 1);
    setenv("LAUNCHER_SCREEN", "1024x768", 1);
    const fs::path self = fs::canonical("/proc/self/exe");
    std::vector<double> truth, prepared, firstChild, ratios;
    for (int run = 0; run < Runs; ++run) {
        int64_t start = 0;
        const int64_t end = Spawn({"/bin/true"}, &start);
        truth.push_back(static_cast<double>(end - start) / 1e6);

        const fs::path dir =
            fs::temp_directory_path() / ("launcher-startup-" + std::to_string(run));
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::copy_file(fs::path(binDir) / "bt.dat", dir / "bt.dat");
        int fds[2];
        if (pipe(fds) != 0)
            return 1;
        Spawn({self.string(), "--child", dir.string() + "/", std::to_string(fds[1])}, &start);
        close(fds[1]);
        int64_t times[2] = {0, 0};
        if (read(fds[0], times, sizeof times) != sizeof times)
            return 1;
        close(fds[0]);
        fs::remove_all(dir);
        prepared.push_back(static_cast<double>(times[0] - start) / 1e6);
        firstChild.push_back(static_cast<double>(times[1] - start) / 1e6);
        ratios.push_back(prepared.back() / truth.back());
    }
    std::printf("median of %d runs (ms): /bin/true %.2f | windowinit %.2f | first child %.2f | "
                "windowinit / true %.1fx\n",
                Runs, Median(truth), Median(prepared), Median(firstChild), Median(ratios));
    return 0;
}
