#pragma once
// The operator's release tools run as the operator runs them. A program that includes this
// defines LAUNCHER_SCRIPTS_DIR and links tests/scripts/command.cpp.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "tests/scripts/command.h"

namespace testing_support {

inline const std::filesystem::path kReleaseTools = LAUNCHER_SCRIPTS_DIR;

// make-update-key: "update.key" and "update.pub" in dir.
inline CommandResult MakeUpdateKey(const std::filesystem::path& dir) {
    return RunCommand({kReleaseTools / "make-update-key", dir});
}

// publish-update with the key in keyDir: the step from installed to fresh (version and
// launcherVersion are what fresh's "version.ini" says) into out.
inline CommandResult
RunPublishUpdate(const std::filesystem::path& keyDir, const std::filesystem::path& installed,
                 const std::filesystem::path& fresh, const std::string& version,
                 const std::string& launcherVersion, const std::filesystem::path& out) {
    return RunCommand({kReleaseTools / "publish-update", "--key", keyDir / "update.key",
                       "--installed", installed, "--new", fresh, "--version", version,
                       "--launcher-version", launcherVersion, "--out", out});
}

// The same over a work directory laid out as "key" (made when missing), "old", "new" and "srv";
// fails the test when a tool fails.
inline void PublishUpdate(const std::filesystem::path& work, const std::string& version,
                          const std::string& launcherVersion) {
    if (!std::filesystem::exists(work / "key")) {
        const CommandResult key = MakeUpdateKey(work / "key");
        ASSERT_EQ(key.exitCode, 0) << key.output;
    }
    const CommandResult run = RunPublishUpdate(work / "key", work / "old", work / "new", version,
                                               launcherVersion, work / "srv");
    ASSERT_EQ(run.exitCode, 0) << run.output;
}

} // namespace testing_support
