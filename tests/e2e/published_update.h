#pragma once
// An update published with the operator's scripts (`PublishUpdate`) and a game directory set to
// take it from the local test server. The program defines LAUNCHER_SCRIPTS_DIR and links
// tests/scripts/command.cpp.
#include <filesystem>

#include "tests/scripts/release_tools.h"
#include "tests/support/test_server.h"

namespace testing_support {

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
