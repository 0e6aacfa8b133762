// launcherupdate.exe: takes an unpacked launcher update over the program directory once the
// launcher has ended, then starts the launcher again.
#include "modules/selfupdater/copy_over.h"
#include "modules/selfupdater/launcher_wait.h"
#include "modules/selfupdater/update_log.h"
#include "modules/selfupdater/update_request.h"
#include "system/path.h"
#include "system/shell.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// The launcher ends within seconds of handing over; a launcher still running after this is
// not going to end for us, and copying over it would mix two versions.
constexpr auto kLauncherEndLimit = 30s;
constexpr auto kPollInterval = 100ms;

bool StartLauncher(const std::filesystem::path& programDir) {
    const auto program = platform::FromPath(programDir / "launcher");
    const auto dir = platform::FromPath(programDir);
    return program && dir && platform::ShellOpen(*program, L"", *dir);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string reason;
    const auto request = selfupdater::ParseUpdateRequest(args, reason);
    if (!request) {
        std::fprintf(stderr, "launcherupdate: refused: %s\n", reason.c_str());
        return 2;
    }
    const std::filesystem::path& source = request->sourceDir;
    const std::filesystem::path& programDir = request->programDir;
    std::error_code ec;
    if (!std::filesystem::is_directory(programDir, ec)) {
        std::fprintf(stderr, "launcherupdate: %s is not a directory\n", programDir.c_str());
        return 2;
    }
    selfupdater::UpdateLog log(programDir / "launcherupdate.log");
    log.Write("launcherupdate started: " + source.native() + " over " + programDir.native());
    if (!std::filesystem::is_directory(source, ec)) {
        log.Write("the source " + source.native() + " is not a directory; nothing copied");
        return 1;
    }
    if (!selfupdater::WaitForLauncherToEnd(programDir, kLauncherEndLimit, kPollInterval)) {
        log.Write("the launcher did not end within 30 s; nothing copied");
        return 1;
    }
    const auto outcome = selfupdater::CopyContentOver(source, programDir, log);
    log.Write("copied " + std::to_string(outcome.copied) + " files, " +
              std::to_string(outcome.failed) + " failed");
    // The launcher comes back either way: every file is whole, old or new, and a launcher
    // that is not updated fetches the update again.
    const bool started = StartLauncher(programDir);
    log.Write(started ? "started the launcher" : "cannot start the launcher");
    return outcome.failed == 0 && started ? 0 : 1;
}
