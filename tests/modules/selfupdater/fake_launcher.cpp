// Stands in for the launcher in a test program directory: appends "start PID CWD" to
// "launcher-started.log" beside its executable, stays for the milliseconds its first argument
// gives, then appends "end PID".
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

void Record(const std::string& line) {
    const auto log =
        std::filesystem::read_symlink("/proc/self/exe").parent_path() / "launcher-started.log";
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
        const std::string text = line + "\n";
        [[maybe_unused]] const ssize_t written = write(fd, text.data(), text.size());
        close(fd);
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string pid = std::to_string(getpid());
    Record("start " + pid + " " + std::filesystem::current_path().native());
    if (argc > 1)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(argv[1])));
    Record("end " + pid);
    return 0;
}
