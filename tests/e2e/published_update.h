#pragma once
// An update published with the operator's scripts and a game directory set to take it from the
// local test server. The program defines LAUNCHER_SCRIPTS_DIR and links tests/scripts/command.cpp.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/scripts/command.h"
#include "tests/support/test_server.h"

namespace testing_support {

// Makes a key in work/"key" and publishes the update from work/"old" to work/"new" (version and
// launcherVersion are what the new files' "version.ini" says) into work/"srv". Fails the test
// when a script fails.
inline void PublishUpdate(const std::filesystem::path& work, const std::string& version,
                          const std::string& launcherVersion) {
    const std::filesystem::path scripts = LAUNCHER_SCRIPTS_DIR;
    ASSERT_EQ(RunCommand({scripts / "make-update-key", work / "key"}).exitCode, 0);
    const CommandResult run =
        RunCommand({scripts / "publish-update", "--key", work / "key/update.key", "--installed",
                    work / "old", "--new", work / "new", "--version", version, "--launcher-version",
                    launcherVersion, "--out", work / "srv"});
    ASSERT_EQ(run.exitCode, 0) << run.output;
}

// Puts the live-update module, the key's public half, a windowed resolution and the manifest
// address of server into game.
inline void TakeUpdatesFrom(const std::filesystem::path& game, const std::filesystem::path& work,
                            const TestServer& server) {
    std::filesystem::copy_file(BinDir() / "LiveUpdate.dll", game / "LiveUpdate.dll");
    std::filesystem::copy_file(work / "key/update.pub", game / "update.pub");
    WriteFile(game / "resolution.ini", "[Setting]\nFullScreen=0\nResolution=1\n");
    WriteFile(game / "Do.ini", "[Addr]\nUpdateVersionUrl1=" + server.Url("/manifest.xml") + "\n");
}

} // namespace testing_support
