#include "tests/platform/duilib/display/x_session.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <map>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "duilib/ui_thread.h"
#include "duilib/window_backend.h"

extern char** environ;

namespace display_test {

namespace {

using Clock = std::chrono::steady_clock;

// Spawns args with stdout into a pipe; the read end is returned in *out.
int Spawn(const std::vector<std::string>& args, int* out) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return -1;
    }
    *out = fds[0];
    return pid;
}

} // namespace

XSession::~XSession() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

bool XSession::Installed() {
    return RunTool({"sh", "-c", "command -v Xvfb && command -v xdotool"}).exitCode == 0;
}

bool XSession::Start(std::string* why, const std::string& screen) {
    // Xvfb picks a free display number itself and writes it to the pipe once it listens. It
    // ends with this process, also when a timed-out test is killed.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *why = "no pipe for Xvfb";
        return false;
    }
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        dup2(fds[1], STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        execlp("Xvfb", "Xvfb", "-displayfd", "1", "-screen", "0", screen.c_str(), "-nolisten",
               "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    const int out = fds[0];
    if (pid_ < 0) {
        close(out);
        *why = "Xvfb could not be started";
        return false;
    }
    std::string number;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (number.find('\n') == std::string::npos && Clock::now() < deadline) {
        pollfd fd{out, POLLIN, 0};
        if (poll(&fd, 1, 100) <= 0)
            continue;
        char buffer[16];
        const ssize_t got = read(out, buffer, sizeof buffer);
        if (got <= 0)
            break;
        number.append(buffer, static_cast<size_t>(got));
    }
    close(out);
    if (number.find('\n') == std::string::npos) {
        *why = "Xvfb did not report a display";
        return false;
    }
    number.pop_back();
    setenv("DISPLAY", (":" + number).c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    // Under a loaded machine the first connection can still be refused for a moment.
    const auto answered = Clock::now() + std::chrono::seconds(10);
    while (RunTool({"xdotool", "getmouselocation"}).exitCode != 0) {
        if (Clock::now() >= answered) {
            *why = "Xvfb on :" + number + " takes no connections";
            return false;
        }
        usleep(50'000);
    }
    return true;
}

void PumpFor(int milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        DuiLib::RunPendingWork();
        if (done())
            return true;
        if (Clock::now() >= deadline)
            return false;
        DuiLib::Backend().WaitForWork(std::chrono::milliseconds(10));
    }
}

ToolResult RunTool(const std::vector<std::string>& argv) {
    ToolResult result;
    int out = -1;
    const int pid = Spawn(argv, &out);
    if (pid < 0)
        return result;
    fcntl(out, F_SETFL, O_NONBLOCK);
    int status = 0;
    bool ended = false;
    auto readSome = [&] {
        char buffer[4096];
        ssize_t got = 0;
        while ((got = read(out, buffer, sizeof buffer)) > 0)
            result.output.append(buffer, static_cast<size_t>(got));
    };
    auto finished = [&] {
        readSome();
        ended = waitpid(pid, &status, WNOHANG) == pid;
        return ended;
    };
    if (DuiLib::BackendIfStarted() != nullptr && DuiLib::IsUiThread()) {
        PumpUntil(finished, 20000);
    } else {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (!finished() && Clock::now() < deadline) {
            pollfd fd{out, POLLIN, 0};
            poll(&fd, 1, 20);
        }
    }
    if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    readSome();
    close(out);
    result.exitCode = ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

ToolResult Xdotool(const std::string& arguments) {
    std::vector<std::string> argv{"xdotool"};
    std::istringstream words(arguments);
    for (std::string word; words >> word;)
        argv.push_back(word);
    return RunTool(argv);
}

void PrintTo(const Rect& rect, std::ostream* os) {
    *os << rect.width << "x" << rect.height << " at " << rect.x << "," << rect.y;
}

Rect WindowGeometry(const std::string& id) {
    std::map<std::string, int> shell; // lines like "X=130"
    std::istringstream lines(Xdotool("getwindowgeometry --shell " + id).output);
    for (std::string line; std::getline(lines, line);)
        if (const size_t eq = line.find('='); eq != std::string::npos)
            shell[line.substr(0, eq)] = std::atoi(line.c_str() + eq + 1);
    if (shell.empty())
        return {};
    return {shell["X"], shell["Y"], shell["WIDTH"], shell["HEIGHT"]};
}

void ClickAt(int x, int y) {
    Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " sleep 0.1 click 1");
}

} // namespace display_test
