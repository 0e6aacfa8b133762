// The headless launcher shows its message boxes nowhere, so it says what they said: on standard
// error and in "run.log".
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/e2e/launcher_process.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// Standard error of processes started while it lives goes to a file.
class StandardErrorToFile {
public:
    explicit StandardErrorToFile(const fs::path& file) {
        const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        saved_ = dup(STDERR_FILENO);
        dup2(fd, STDERR_FILENO);
        close(fd);
    }
    ~StandardErrorToFile() {
        dup2(saved_, STDERR_FILENO);
        close(saved_);
    }
    StandardErrorToFile(const StandardErrorToFile&) = delete;
    StandardErrorToFile& operator=(const StandardErrorToFile&) = delete;

private:
    int saved_ = -1;
};

bool WaitForText(const fs::path& file, const std::string& text, int timeoutMs) {
    for (int waited = 0; waited < timeoutMs; waited += 20) {
        if (ReadFile(file).find(text) != std::string::npos)
            return true;
        usleep(20 * 1000);
    }
    return false;
}

} // namespace

// "version.ini" that cannot be read (a directory in its place) brings the missing-file box.
TEST(HeadlessMessageBox, CaptionAndTextGoToStandardErrorAndTheLog) {
    TempDir dir;
    InstallLauncher(dir.path());
    fs::create_directory(dir / "version.ini");
    const std::string text = "游戏无法启动，缺少 Version.ini 文件或重新安装游戏！";
    TempDir output;
    {
        StandardErrorToFile redirect(output / "stderr.txt");
        LauncherProcess launcher(dir.path());
        ASSERT_TRUE(WaitForText(dir / "run.log", text, 10000)) << ReadFile(dir / "run.log");
        launcher.Signal(SIGTERM);
        EXPECT_EQ(launcher.WaitForExit(5000), 0);
    }
    EXPECT_NE(ReadFile(output / "stderr.txt").find("message box \"错误\": " + text + "\n"),
              std::string::npos)
        << ReadFile(output / "stderr.txt");
    const std::string log = ReadFile(dir / "run.log");
    const size_t record = log.find("message box \"错误\": " + text);
    ASSERT_NE(record, std::string::npos) << log;
    EXPECT_NE(log.rfind(": Error: ", record), std::string::npos) << log;
}
