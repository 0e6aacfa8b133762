// The install walk over a real unpacked package and a real installation: which rule each entry
// meets, what reaches the installation, the progress it reports, and packages it refuses.
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

#include <gtest/gtest.h>

#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/update/progress_observer.h"
#include "tests/launcher/update/index_test_files.h"
#include "tests/support/program_dir.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace index_test;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

class InstallWalk : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::UseProgramDirectory(game, false);
        frame.InstancePath = game.wide();
        TheLauncherFrame = &frame;
        frame.SetLogFile();
        SetProgressObserver([this](float percent) { progress.push_back(percent); });
        fs::create_directories(package);
    }
    void TearDown() override {
        SetProgressObserver({});
        ReleaseLogTarget(frame);
        TheLauncherFrame = nullptr;
    }

    bool Install(bool isTre = false) {
        const wxString root(package.wstring());
        return frame.FileTranvers(root, root, isTre);
    }
    std::string Log() const { return ReadFile(game / "run.log"); }

    // Every path below dir, relative to it; run.log is the test's own.
    static std::vector<std::string> Tree(const fs::path& dir) {
        std::vector<std::string> paths;
        for (const auto& entry : fs::recursive_directory_iterator(dir)) {
            const std::string relative = fs::relative(entry.path(), dir).string();
            if (relative != "run.log")
                paths.push_back(relative);
        }
        std::sort(paths.begin(), paths.end());
        return paths;
    }

    TempDir game;
    TempDir downloads;
    const fs::path package = downloads / "patch";
    LauncherFrameWnd frame;
    std::vector<float> progress;
};

TEST_F(InstallWalk, EmptyPackageChangesNothingAndMissingPackageFails) {
    WriteFile(game / "zel.exe", "client");
    EXPECT_TRUE(Install());
    EXPECT_EQ(Tree(game.path()), std::vector<std::string>{"zel.exe"});

    const wxString missing((downloads / "absent").wstring());
    EXPECT_FALSE(frame.FileTranvers(missing, missing, false));
}

TEST_F(InstallWalk, ReplacesInstalledFilesAndEntersInstalledDirectories) {
    WriteFile(game / "data/map.bin", "old map");
    WriteFile(game / "data/keep.bin", "kept");
    WriteFile(package / "data/map.bin", "new map");
    WriteFile(package / "zel.exe", "new client");
    fs::permissions(package / "zel.exe", fs::perms(0755));

    ASSERT_TRUE(Install());
    EXPECT_EQ(ReadFile(game / "data/map.bin"), "new map");
    EXPECT_EQ(ReadFile(game / "data/keep.bin"), "kept");
    EXPECT_EQ(ReadFile(game / "zel.exe"), "new client");
    EXPECT_EQ(fs::status(game / "zel.exe").permissions() & fs::perms::owner_exec,
              fs::perms::owner_exec);
    // Files arrive through renamed temporaries; none may stay behind.
    EXPECT_EQ(Tree(game.path()),
              (std::vector<std::string>{"data", "data/keep.bin", "data/map.bin", "zel.exe"}));
}

TEST_F(InstallWalk, RunningProgramIsReplacedNotRewritten) {
    // Writing into a running executable fails on this platform; a renamed new file does not.
    fs::copy_file("/bin/sleep", game / "zel.exe");
    fs::permissions(game / "zel.exe", fs::perms(0755));
    std::string program = (game / "zel.exe").string();
    std::string seconds = "1000";
    char* argv[] = {program.data(), seconds.data(), nullptr};
    pid_t running = 0;
    ASSERT_EQ(posix_spawn(&running, program.c_str(), nullptr, nullptr, argv, environ), 0);
    WriteFile(package / "zel.exe", "new client");

    const bool installed = Install();
    kill(running, SIGKILL);
    waitpid(running, nullptr, 0);
    ASSERT_TRUE(installed);
    EXPECT_EQ(ReadFile(game / "zel.exe"), "new client");
}

TEST_F(InstallWalk, IndexIncrementsOfAnUpdPackageAreMergedByTheirRealNames) {
    // Mixed case: the rules see "misc.i" and "login.dat.i", the merges get the real names.
    WriteFile(game / "Data/Misc.I", InstalledIndex({Entry(0, 4, 1)}));
    WriteFile(package / "Data/Misc.I", PackageIndex({Patch(0, 0, 7, 2)}));
    WriteFile(package / "Data/Login.DAT", "BLOCK");
    WriteFile(package / "Data/Login.DAT.i", PackageIndex({Patch(0, 0, 5, 3)}));

    ASSERT_TRUE(Install());
    const std::vector<IndexEntry> misc = InstalledEntries(ReadFile(game / "Data/Misc.I"));
    ASSERT_EQ(misc.size(), 1u);
    EXPECT_EQ(misc[0].offset, kBlockNotHeld);
    EXPECT_EQ(misc[0].size, 7u);
    // A first installation of the login archive takes the package's data and index as they are.
    EXPECT_EQ(ReadFile(game / "Data/Login.DAT"), "BLOCK");
    EXPECT_EQ(ReadFile(game / "Data/Login.DAT.i"), ReadFile(package / "Data/Login.DAT.i"));
}

TEST_F(InstallWalk, TrePackageCopiesIndexFilesButNeverTheLoginData) {
    WriteFile(game / "Data/misc.i", InstalledIndex({Entry(0, 4, 1)}));
    WriteFile(package / "Data/misc.i", PackageIndex({Patch(0, 0, 7, 2)}));
    WriteFile(package / "Data/login.dat", "BLOCK");
    WriteFile(package / "Data/login.dat.i", PackageIndex({Patch(0, 0, 5, 3)}));

    ASSERT_TRUE(Install(true));
    EXPECT_EQ(ReadFile(game / "Data/misc.i"), ReadFile(package / "Data/misc.i"));
    EXPECT_EQ(ReadFile(game / "Data/login.dat.i"), ReadFile(package / "Data/login.dat.i"));
    EXPECT_FALSE(fs::exists(game / "Data/login.dat"));
}

TEST_F(InstallWalk, OnlyWholeFileNamesMeetTheLoginAndDeleteListRules) {
    WriteFile(game / "victim.txt", "installed");
    WriteFile(package / "login.dat", "never copied");
    WriteFile(package / "mylogin.dat", "ordinary");
    WriteFile(package / "xdel.lst", "victim.txt");

    ASSERT_TRUE(Install());
    EXPECT_FALSE(fs::exists(game / "login.dat"));
    EXPECT_EQ(ReadFile(game / "mylogin.dat"), "ordinary");
    EXPECT_EQ(ReadFile(game / "xdel.lst"), "victim.txt");
    EXPECT_EQ(ReadFile(game / "victim.txt"), "installed");
}

TEST_F(InstallWalk, DeleteListNamesPathsInTheProgramDirectoryAndIsNotInstalled) {
    WriteFile(game / "old.txt", "stale");
    WriteFile(game / "sub/old.txt", "beside the list");
    WriteFile(package / "sub/Del.LST", "old.txt");

    ASSERT_TRUE(Install());
    EXPECT_FALSE(fs::exists(game / "old.txt"));
    EXPECT_TRUE(fs::exists(game / "sub/old.txt"));
    EXPECT_FALSE(fs::exists(game / "sub/Del.LST"));
}

TEST_F(InstallWalk, DirectoryAbsentFromTheInstallationIsCopiedWholeAndCountedByItsBytes) {
    WriteFile(game / "victim.txt", "installed");
    WriteFile(package / "newdir/misc.i", "0123456789");
    WriteFile(package / "newdir/del.lst", "victim.txt");
    WriteFile(package / "newdir/login.dat", "12345");
    WriteFile(package / "newdir/deeper/readme.txt", "abc");
    fs::create_directories(package / "newdir/empty");
    frame.InstallTotal = 28;

    ASSERT_TRUE(Install());
    EXPECT_EQ(ReadFile(game / "newdir/misc.i"), "0123456789");
    EXPECT_EQ(ReadFile(game / "newdir/del.lst"), "victim.txt");
    EXPECT_EQ(ReadFile(game / "newdir/login.dat"), "12345");
    EXPECT_EQ(ReadFile(game / "newdir/deeper/readme.txt"), "abc");
    EXPECT_TRUE(fs::is_directory(game / "newdir/empty"));
    EXPECT_EQ(ReadFile(game / "victim.txt"), "installed");
    EXPECT_EQ(frame.InstallDone.load(), 28u);
    EXPECT_EQ(progress, std::vector<float>{100.0f});
    EXPECT_EQ(Log().find("pathList.xml"), std::string::npos) << Log();
    EXPECT_EQ(Tree(game.path()).size(), 8u); // no temporary directory left beside it
}

TEST_F(InstallWalk, EmptyPackageDirectoryIsCopiedOntoItsInstalledCounterpart) {
    WriteFile(game / "saves/slot1", "progress");
    fs::create_directories(package / "saves");

    ASSERT_TRUE(Install());
    EXPECT_EQ(ReadFile(game / "saves/slot1"), "progress");
}

TEST_F(InstallWalk, FailedCopyOfALoadedModuleIsPassedOverAnyOtherEndsTheWalk) {
    // A non-empty directory where the file goes makes the copy fail.
    WriteFile(game / "msvcp140.dll/held", "");
    WriteFile(game / "bin/xmsvcp140.dll/held", "");
    WriteFile(package / "msvcp140.dll", "runtime");
    WriteFile(package / "bin/xmsvcp140.dll", "runtime");
    WriteFile(package / "bin/tools.txt", "tools");
    ASSERT_TRUE(Install());
    EXPECT_EQ(ReadFile(game / "bin/tools.txt"), "tools");
    EXPECT_NE(Log().find("Failed to copy the file"), std::string::npos);

    WriteFile(game / "maps/world.bin/held", "");
    WriteFile(package / "maps/world.bin", "world");
    EXPECT_FALSE(Install());
    EXPECT_TRUE(fs::is_directory(game / "maps/world.bin"));
    EXPECT_EQ(Tree(game / "maps"), (std::vector<std::string>{"world.bin", "world.bin/held"}));
}

TEST_F(InstallWalk, ProgressFollowsTheBytesOfEachFile) {
    frame.InstallTotal = 1000;
    WriteFile(package / "a.bin", std::string(250, 'a'));
    WriteFile(package / "b.bin", std::string(250, 'b'));
    ASSERT_TRUE(Install());
    EXPECT_EQ(progress, (std::vector<float>{25.0f, 50.0f}));
    EXPECT_EQ(frame.InstallDone.load(), 500u);
}

TEST_F(InstallWalk, PackageOfEmptyFilesShowsCompletion) {
    frame.InstallTotal = 0;
    WriteFile(package / "a.txt", "");
    ASSERT_TRUE(Install());
    EXPECT_EQ(progress, std::vector<float>{100.0f});
}

TEST_F(InstallWalk, LinksInThePackageAreRefusedAndNothingBehindThemIsTouched) {
    TempDir outside;
    WriteFile(outside / "secret", "outside");
    WriteFile(game / "data/keep.bin", "kept");
    fs::create_directories(package / "data");
    fs::create_symlink(outside / "secret", package / "data/secret");
    EXPECT_FALSE(Install());
    EXPECT_FALSE(fs::exists(fs::symlink_status(game / "data/secret")));

    // Inside a directory copied whole, the directory is refused as a whole.
    fs::remove(package / "data/secret");
    WriteFile(package / "newdir/file.txt", "new");
    fs::create_symlink(outside.path(), package / "newdir/escape");
    EXPECT_FALSE(Install());
    EXPECT_FALSE(fs::exists(game / "newdir"));
    EXPECT_EQ(ReadFile(outside / "secret"), "outside");
    EXPECT_NE(Log().find("neither a file nor a directory"), std::string::npos);
}

} // namespace
