// A published step installed by the launcher's own unpack and install walk turns the installed
// game into the new one, byte for byte.
#include "launcher/zip/unzip_package.h"
#include "tests/scripts/command.h"
#include "tests/support/frame_with_log.h"
#include "tests/support/zip_maker.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace {

namespace fs = std::filesystem;
using testing_support::ListTree;
using testing_support::ReadFile;
using testing_support::RunCommand;
using testing_support::TempDir;
using testing_support::WriteFile;

const fs::path kScripts = LAUNCHER_SCRIPTS_DIR;

class PublishedStepInstall : public testing_support::FrameWithLog {
protected:
    void SetUp() override {
        FrameWithLog::SetUp();
        frame.InstancePath = game.wide();
    }

    // Unpacks and installs each package of the manifest's only step, in its order.
    void InstallStep(const fs::path& server) {
        pugi::xml_document manifest;
        ASSERT_TRUE(manifest.load_file((server / "manifest.xml").c_str()));
        for (const pugi::xml_node package : manifest.child("update").child("step").children()) {
            const fs::path file = downloads / package.attribute("name").value();
            fs::copy_file(server / file.filename(), file);
            const bool isTre = file.extension() == ".tre";
            const fs::path dir = fs::path(file).replace_extension();
            ASSERT_TRUE(UnzipPackage(dir.wstring(), isTre, {})) << file;
            ASSERT_TRUE(frame.FileTranvers(dir.wstring(), dir.wstring(), isTre)) << file;
        }
    }

    // The game's files without the launcher's own log.
    std::vector<std::string> GameTree() {
        std::vector<std::string> tree = ListTree(game.path());
        std::erase(tree, "run.log");
        return tree;
    }

    const TempDir& game = programDir;
    TempDir work;
    TempDir downloads;
};

TEST_F(PublishedStepInstall, InstalledGameEqualsTheNewDirectory) {
    const std::map<std::string, std::string> installed = {
        {"version.ini", "[Version]\nVersion=1.0\n"},
        {"same.txt", "same"},
        {"changed.txt", "old"},
        {"sub/gone.txt", "gone"},
        {"sub/keep.txt", "keep"},
        {"data/archive.i", std::string(136, 'h') + "old entries"},
    };
    const std::map<std::string, std::string> fresh = {
        {"version.ini", "[Version]\nVersion=1.1\n"},
        {"same.txt", "same"},
        {"changed.txt", "new"},
        {"sub/keep.txt", "keep"},
        {"sub/added.txt", "added"},
        {"data/archive.i", std::string(136, 'h') + "new entries, whole"},
        {"maps/del.lst", "a file in a new directory"},
        {"maps/login.dat", "copied with its directory"},
        {"maps/maps.i", "likewise"},
    };
    for (const auto& [path, bytes] : installed) {
        WriteFile(game / path, bytes);
        WriteFile(work / "old" / path, bytes);
    }
    for (const auto& [path, bytes] : fresh)
        WriteFile(work / "new" / path, bytes);
    fs::create_directories(work / "new/emptydir");

    ASSERT_EQ(RunCommand({kScripts / "make-update-key", work / "key"}).exitCode, 0);
    const auto run = RunCommand({kScripts / "publish-update", "--key", work / "key/update.key",
                                 "--installed", work / "old", "--new", work / "new", "--version",
                                 "1.1", "--launcher-version", "1", "--out", work / "srv"});
    ASSERT_EQ(run.exitCode, 0) << run.output;

    InstallStep(work / "srv");
    EXPECT_EQ(GameTree(), ListTree(work / "new"));
    for (const auto& [path, bytes] : fresh)
        EXPECT_EQ(ReadFile(game / path), bytes) << path;
}

} // namespace
