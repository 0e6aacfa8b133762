// The install walk over a real unpacked package and a real installation: which rule each entry
// meets, what reaches the installation, the progress it reports, and packages it refuses.
#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "launcher/update/copy_path.h"
#include "launcher/update/progress_observer.h"
#include "tests/launcher/update/index_test_files.h"
#include "tests/support/frame_with_log.h"
#include "tests/support/program_copy.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_maker.h"

namespace fs = std::filesystem;
using namespace index_test;
using namespace testing_support;
using Paths = std::vector<std::string>;

namespace {

// A chain of directories "d" levels deep below root with the file "leaf" at its bottom, made
// one level at a time: its paths soon outgrow what a path-based call can take.
void MakeChain(const fs::path& root, int levels, const std::string& leaf) {
    fs::create_directories(root);
    int dir = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < levels && dir >= 0; ++level) {
        mkdirat(dir, "d", 0755);
        const int child = openat(dir, "d", O_RDONLY | O_DIRECTORY);
        close(dir);
        dir = child;
    }
    ASSERT_GE(dir, 0);
    const int file = openat(dir, "leaf", O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_EQ(write(file, leaf.data(), leaf.size()), static_cast<ssize_t>(leaf.size()));
    close(file);
    close(dir);
}

// Removes a chain from its top, one level at a time, so no call ever sees a long path.
void RemoveChain(const fs::path& root) {
    const int top = open(root.c_str(), O_RDONLY | O_DIRECTORY);
    for (;;) {
        const int first = openat(top, "d", O_RDONLY | O_DIRECTORY);
        if (first < 0)
            break;
        unlinkat(first, "leaf", 0);
        const bool deeper = renameat(first, "d", top, "up") == 0;
        close(first);
        unlinkat(top, "d", AT_REMOVEDIR);
        if (!deeper || renameat(top, "up", top, "d") != 0)
            break;
    }
    close(top);
}

// A marker of size bytes, different at every offset so a misplaced copy shows.
std::string Marker(size_t size, char seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(seed + static_cast<char>(i % 251));
    return bytes;
}

// A sparse file of size bytes holding markers at its start, across the 4 GiB mark and at its end.
void WriteSparse(const fs::path& file, uint64_t size) {
    fs::create_directories(file.parent_path());
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::pair<uint64_t, std::string> markers[] = {
        {0, Marker(1 << 20, 'a')},
        {(uint64_t{4} << 30) - 4096, Marker(8192, 'b')},
        {size - 777, Marker(777, 'c')},
    };
    for (const auto& [at, bytes] : markers)
        ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(at)),
                  static_cast<ssize_t>(bytes.size()));
    close(fd);
}

// Compares two files where either holds data; what is a hole in both reads as zeros in both, so
// files of gigabytes that are mostly holes compare in a moment.
::testing::AssertionResult SameBytes(const fs::path& a, const fs::path& b) {
    const int first = open(a.c_str(), O_RDONLY);
    const int second = open(b.c_str(), O_RDONLY);
    const off_t size = lseek(first, 0, SEEK_END);
    if (first < 0 || second < 0 || size != lseek(second, 0, SEEK_END)) {
        close(first);
        close(second);
        return ::testing::AssertionFailure() << "sizes differ";
    }
    constexpr off_t kChunk = 1 << 20;
    std::string left(kChunk, '\0');
    std::string right(kChunk, '\0');
    for (off_t at = 0; at < size; at += kChunk) {
        off_t next = size;
        for (const int fd : {first, second}) {
            const off_t data = lseek(fd, at, SEEK_DATA);
            next = std::min(next, data < 0 ? size : data);
        }
        at = next / kChunk * kChunk;
        if (at >= size)
            break;
        const ssize_t got = pread(first, left.data(), kChunk, at);
        if (got <= 0 || pread(second, right.data(), kChunk, at) != got ||
            left.compare(0, static_cast<size_t>(got), right, 0, static_cast<size_t>(got)) != 0) {
            close(first);
            close(second);
            return ::testing::AssertionFailure() << "bytes differ at " << at;
        }
    }
    close(first);
    close(second);
    return ::testing::AssertionSuccess();
}

// The modification time, to the nanosecond.
struct timespec ModificationTime(const fs::path& file) {
    struct stat info {};
    stat(file.c_str(), &info);
    return info.st_mtim;
}

class InstallWalk : public testing_support::FrameWithLog {
protected:
    void SetUp() override {
        FrameWithLog::SetUp();
        frame.InstancePath = game.wide();
        SetProgressObserver([this](float percent) { progress.push_back(percent); });
        fs::create_directories(package);
    }
    void TearDown() override {
        SetProgressObserver({});
        FrameWithLog::TearDown();
    }

    bool Install(bool isTre = false) {
        const wxString root(package.wstring());
        return frame.FileTranvers(root, root, isTre);
    }

    const TempDir& game = programDir; // holding the test's run.log
    TempDir downloads;
    const fs::path package = downloads / "patch";
    std::vector<float> progress;
};

TEST_F(InstallWalk, UpdPackageMeetsEachRuleByItsWholeFileName) {
    WriteFile(game / "maps/map.bin", "old map");
    WriteFile(game / "maps/keep.bin", "kept");
    WriteFile(game / "old.txt", "stale");
    WriteFile(game / "sub/old.txt", "beside the list");
    WriteFile(game / "Data/Misc.I", InstalledIndex({Entry(0, 4, 1)}));
    WriteFile(package / "maps/map.bin", "new map");
    WriteFile(package / "zel.exe", "new client");
    fs::permissions(package / "zel.exe", fs::perms(0755));
    // Mixed case: the rules see "misc.i" and "login.dat.i", the merges get the real names.
    WriteFile(package / "Data/Misc.I", PackageIndex({Patch(0, 0, 7, 2)}));
    WriteFile(package / "Data/Login.DAT", "BLOCK");
    WriteFile(package / "Data/Login.DAT.i", PackageIndex({Patch(0, 0, 5, 3)}));
    WriteFile(package / "login.dat", "never copied");
    WriteFile(package / "mylogin.dat", "ordinary");
    WriteFile(package / "xdel.lst", "sub/old.txt");
    WriteFile(package / "sub/Del.LST", "old.txt"); // names paths in the program directory
    uint64_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(package))
        total += entry.is_regular_file() ? entry.file_size() : 0;
    frame.InstallTotal = total;

    ASSERT_TRUE(Install());
    EXPECT_EQ(ReadFile(game / "maps/map.bin"), "new map");
    EXPECT_EQ(ReadFile(game / "zel.exe"), "new client");
    EXPECT_EQ(fs::status(game / "zel.exe").permissions() & fs::perms::owner_exec,
              fs::perms::owner_exec);
    EXPECT_EQ(ReadFile(game / "Data/Misc.I"), InstalledIndex({Entry(kBlockNotHeld, 7, 2)}));
    // A first installation of the login archive takes the package's data and index as they are.
    EXPECT_EQ(ReadFile(game / "Data/Login.DAT"), "BLOCK");
    EXPECT_EQ(ReadFile(game / "Data/Login.DAT.i"), ReadFile(package / "Data/Login.DAT.i"));
    EXPECT_EQ(ReadFile(game / "mylogin.dat"), "ordinary");
    EXPECT_EQ(ReadFile(game / "xdel.lst"), "sub/old.txt");
    // Every file is counted, login.dat and the delete list too; no temporary stays behind.
    EXPECT_EQ(frame.InstallDone.load(), total);
    EXPECT_EQ(progress.back(), 100.0f);
    EXPECT_EQ(ListTree(game.path()),
              (Paths{"Data", "Data/Login.DAT", "Data/Login.DAT.i", "Data/Misc.I", "maps",
                     "maps/keep.bin", "maps/map.bin", "mylogin.dat", "run.log", "sub",
                     "sub/old.txt", "xdel.lst", "zel.exe"}));
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

TEST_F(InstallWalk, RunningProgramIsReplacedNotRewritten) {
    // Writing into a running executable fails on this platform; a renamed new file does not.
    const pid_t running = StartProgramCopy(game.path(), "/bin/sleep", "zel.exe");
    ASSERT_GT(running, 0);
    WriteFile(package / "zel.exe", "new client");

    const bool installed = Install();
    kill(running, SIGKILL);
    waitpid(running, nullptr, 0);
    ASSERT_TRUE(installed);
    EXPECT_EQ(ReadFile(game / "zel.exe"), "new client");
}

TEST_F(InstallWalk, DirectoryAbsentFromTheInstallationIsCopiedWholeAndCountedByItsBytes) {
    WriteFile(game / "victim.txt", "installed");
    WriteFile(game / "saves/slot1", "progress");
    fs::create_directories(package / "saves"); // empty: must not empty the installed one
    WriteFile(package / "newdir/misc.i", "0123456789");
    WriteFile(package / "newdir/del.lst", "victim.txt");
    WriteFile(package / "newdir/login.dat", "12345");
    WriteFile(package / "newdir/deeper/readme.txt", "abc");
    fs::create_directories(package / "newdir/empty");
    frame.InstallTotal = 28;

    ASSERT_TRUE(Install());
    // No rule applies inside: the index, the delete list and login.dat are plain files there.
    for (const char* file : {"misc.i", "del.lst", "login.dat", "deeper/readme.txt"})
        EXPECT_EQ(ReadFile(game / "newdir" / file), ReadFile(package / "newdir" / file)) << file;
    EXPECT_TRUE(fs::is_directory(game / "newdir/empty"));
    EXPECT_EQ(ReadFile(game / "victim.txt"), "installed");
    EXPECT_EQ(ReadFile(game / "saves/slot1"), "progress");
    EXPECT_EQ(frame.InstallDone.load(), 28u);
    EXPECT_EQ(ListTree(game / "newdir").size(), 6u); // no temporary directory left

    const wxString missing((downloads / "absent").wstring());
    EXPECT_FALSE(frame.FileTranvers(missing, missing, false));
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
    EXPECT_EQ(ListTree(game / "maps"), (Paths{"world.bin", "world.bin/held"}));
}

TEST_F(InstallWalk, ProgressFollowsTheBytesOfEachFileAndAZeroTotalShowsCompletion) {
    frame.InstallTotal = 1000;
    WriteFile(package / "a.bin", std::string(250, 'a'));
    WriteFile(package / "b.bin", std::string(250, 'b'));
    ASSERT_TRUE(Install());
    EXPECT_EQ(progress, (std::vector<float>{25.0f, 50.0f}));

    progress.clear();
    frame.InstallTotal = 0;
    fs::remove_all(package);
    WriteFile(package / "a.txt", "");
    ASSERT_TRUE(Install());
    EXPECT_EQ(progress, std::vector<float>{100.0f});
}

TEST_F(InstallWalk, InstalledFilesKeepThePackagesTimesAndFilesPast4GiBArriveWhole) {
    // Each way a file reaches the installation: staged over an old one, inside a directory
    // copied whole, the login archive's first copy; and a file past 4 GiB, counted in full.
    WriteFile(game / "zel.exe", "old client");
    fs::create_directories(game / "data");
    WriteFile(package / "zel.exe", "new client");
    WriteFile(package / "maps/world/terrain.bin", "terrain");
    WriteFile(package / "Data/Login.DAT", "BLOCK");
    WriteFile(package / "Data/Login.DAT.i", PackageIndex({Patch(0, 0, 5, 3)}));
    const uint64_t hugeSize = (uint64_t{9} << 29) + 12345; // 4.5 GiB and a bit
    WriteSparse(package / "data/huge.pak", hugeSize);
    const char* files[] = {"zel.exe", "maps/world/terrain.bin", "Data/Login.DAT", "data/huge.pak"};
    // 2009-02-13 23:31:30.123456789 UTC, well before any test runs.
    const struct timespec archived[2] = {{0, UTIME_OMIT}, {1234567890, 123456789}};
    for (const char* file : files)
        ASSERT_EQ(utimensat(AT_FDCWD, (package / file).c_str(), archived, 0), 0) << file;
    uint64_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(package))
        total += entry.is_regular_file() ? entry.file_size() : 0;
    frame.InstallTotal = total;

    ASSERT_TRUE(Install());
    for (const char* file : files) {
        const struct timespec installed = ModificationTime(game / file);
        EXPECT_EQ(installed.tv_sec, archived[1].tv_sec) << file;
        EXPECT_EQ(installed.tv_nsec, archived[1].tv_nsec) << file;
    }
    EXPECT_EQ(fs::file_size(game / "data/huge.pak"), hugeSize);
    EXPECT_TRUE(SameBytes(package / "data/huge.pak", game / "data/huge.pak"));
    EXPECT_EQ(frame.InstallDone.load(), total);
    EXPECT_GT(total, hugeSize);
    EXPECT_EQ(progress.back(), 100.0f);
}

TEST_F(InstallWalk, IndexShorterThanAHeaderWithNothingInstalledStopsTheWalkAndWritesNothing) {
    // Too short to hold an index's header: not taken for the installed index.
    WriteFile(game / "Data/keep.bin", "kept");
    WriteFile(package / "Data/misc.i", Header().substr(0, 100));
    ASSERT_FALSE(Install());
    EXPECT_EQ(ListTree(game / "Data"), Paths{"keep.bin"}); // no index, no temporary
    EXPECT_NE(Log().find("misc.i failed: an index could not be read or written"),
              std::string::npos);
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

TEST_F(InstallWalk, TreeDeeperThanAPackageMayReachIsRefusedBeforeAnythingIsInstalled) {
    WriteFile(package / "a.txt", "new");
    WriteFile(game / "a.txt", "old");
    MakeChain(package / "deep", 3000, "bottom");

    EXPECT_FALSE(Install()); // the new directory would be copied whole
    fs::create_directories(game / "deep/d");
    EXPECT_FALSE(Install()); // an existing one would be entered
    EXPECT_FALSE(
        CopyPath(wxString((package / "deep").wstring()), wxString((game / "copy").wstring())));
    EXPECT_EQ(ReadFile(game / "a.txt"), "old");
    EXPECT_EQ(ListTree(game.path()), (Paths{"a.txt", "deep", "deep/d", "run.log"}));
    EXPECT_NE(Log().find("lies deeper than a package may reach"), std::string::npos);
    RemoveChain(package / "deep");
}

TEST_F(InstallWalk, DeepTreeWithinTheLimitIsCopiedWholeAndMergedIntoAnExistingOne) {
    MakeChain(package / "deep", 200, "bottom");
    ASSERT_TRUE(Install());
    std::string bottom = "deep";
    for (int level = 0; level < 200; ++level)
        bottom += "/d";
    EXPECT_EQ(ReadFile(game / (bottom + "/leaf")), "bottom");

    // Installed again, the walk enters the existing directories and replaces the file.
    RemoveChain(package / "deep");
    MakeChain(package / "deep", 200, "changed");
    ASSERT_TRUE(Install());
    EXPECT_EQ(ReadFile(game / (bottom + "/leaf")), "changed");
    EXPECT_EQ(ListTree(game / (bottom)), Paths{"leaf"}); // no temporary left beside it
    RemoveChain(package / "deep");
    RemoveChain(game / "deep");
}

} // namespace
