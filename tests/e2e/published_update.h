#pragma once
// An update published with the operator's scripts and a game directory set to take it from the
// local test server.
#include <filesystem>
#include <string>

#include "tests/support/test_server.h"

namespace testing_support {

// Makes a key in work/"key" and publishes the update from work/"old" to work/"new" (version and
// launcherVersion are what the new files' "version.ini" says) into work/"srv". Fails the test
// when a script fails.
void PublishUpdate(const std::filesystem::path& work, const std::string& version,
                   const std::string& launcherVersion);

// Puts the live-update module, the key's public half, a windowed resolution and the manifest
// address of server into game.
void TakeUpdatesFrom(const std::filesystem::path& game, const std::filesystem::path& work,
                     const TestServer& server);

} // namespace testing_support
