#include "tests/e2e/published_update.h"

#include <gtest/gtest.h>

#include "tests/scripts/command.h"

namespace testing_support {

namespace fs = std::filesystem;

void PublishUpdate(const fs::path& work, const std::string& version,
                   const std::string& launcherVersion) {
    const fs::path scripts = LAUNCHER_SCRIPTS_DIR;
    ASSERT_EQ(RunCommand({scripts / "make-update-key", work / "key"}).exitCode, 0);
    const CommandResult run =
        RunCommand({scripts / "publish-update", "--key", work / "key/update.key", "--installed",
                    work / "old", "--new", work / "new", "--version", version, "--launcher-version",
                    launcherVersion, "--out", work / "srv"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
}

void TakeUpdatesFrom(const fs::path& game, const fs::path& work, const TestServer& server) {
    fs::copy_file(BinDir() / "LiveUpdate.dll", game / "LiveUpdate.dll");
    fs::copy_file(work / "key/update.pub", game / "update.pub");
    WriteFile(game / "resolution.ini", "[Setting]\nFullScreen=0\nResolution=1\n");
    WriteFile(game / "Do.ini", "[Addr]\nUpdateVersionUrl1=" + server.Url("/manifest.xml") + "\n");
}

} // namespace testing_support
