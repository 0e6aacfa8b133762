// Installing an unpacked package over an existing installation, side by side: the install walk
// (LauncherFrameWnd::FileTranvers), `cp -a`, `cp -a` followed by one syncfs, and the walk as it
// was (every file through its own synced atomic replace). Before every timed run the previous
// output is moved aside (never deleted: deleting many files slows this file system's later
// allocations for minutes) and a fresh installation is copied in and synced, outside the timed
// region. run.sh truncates the moved-aside outputs at the end.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "bench/support/rounds.h"
#include "bench/support/spawn.h"
#include "bench/unzip/package_tree.h"
#include "launcher/launcher.h"
#include "launcher/update/copy_path_tree.h"
#include "system/atomic_replace.h"
#include "system/regular_file.h"

namespace fs = std::filesystem;

namespace {

bool SyncFileSystemOf(const fs::path& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool synced = fd >= 0 && syncfs(fd) == 0;
    if (fd >= 0)
        close(fd);
    return synced;
}

// The walk before batching: each file through its own temporary, fsync, rename and directory
// fsync.
bool ReplaceEachFile(const fs::path& package, const fs::path& game) {
    for (const auto& item : fs::recursive_directory_iterator(package)) {
        const fs::path target = game / item.path().lexically_relative(package);
        if (item.is_directory()) {
            fs::create_directories(target);
            continue;
        }
        const platform::OpenedFile in = platform::OpenRegular(item.path(), O_RDONLY);
        if (!in.fd || !platform::ReplaceFileFromDescriptor(target, in.fd.get(), 0644))
            return false;
    }
    return true;
}

// The realistic tree's mix of sizes (a dozen of 5-10 MiB, 300 of 100-500 KiB, the rest of 4-20
// KiB, about 200 MiB) spread two files to a directory over 1,000 directories three levels deep
// (1,110 with the levels above them), where every directory costs the walk its own opens.
TreeSummary MakeDeepTree(const fs::path& root) {
    std::mt19937_64 random(23);
    const auto between = [&](size_t low, size_t high) { return low + random() % (high - low + 1); };
    std::vector<size_t> sizes;
    for (int i = 0; i < 12; ++i)
        sizes.push_back(between(5 << 20, 10 << 20));
    for (int i = 0; i < 300; ++i)
        sizes.push_back(between(100 << 10, 500 << 10));
    for (int i = 0; i < 1688; ++i)
        sizes.push_back(between(4 << 10, 20 << 10));
    std::shuffle(sizes.begin(), sizes.end(), random);
    TreeSummary summary;
    std::string bytes;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const size_t d = i % 1000;
        const fs::path dir = root / ("area" + std::to_string(d / 100)) /
                             ("zone" + std::to_string(d / 10 % 10)) /
                             ("set" + std::to_string(d % 10));
        fs::create_directories(dir);
        bytes.resize(sizes[i]);
        for (char& c : bytes)
            c = static_cast<char>(random() >> 56);
        std::ofstream(dir / ("file" + std::to_string(i) + ".bin"), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ++summary.files;
        summary.bytes += bytes.size();
    }
    return summary;
}

int Run(const fs::path& work, int rounds) {
    const fs::path package = work / "package";
    const fs::path game = work / "game";
    const fs::path trash = work / "trash";
    fs::create_directories(trash);
    const TreeSummary expected = CountTree(package);
    int moved = 0;
    // A fresh installation: the package's tree as an older version of the game, on disk.
    const auto prepare = [&] {
        if (fs::exists(game))
            fs::rename(
                game, trash / ("game-" + std::to_string(getpid()) + "-" + std::to_string(moved++)));
        return SpawnAndWait({"cp", "-a", package.string(), game.string()}) &&
               SyncFileSystemOf(work);
    };
    const auto check = [&] {
        const TreeSummary installed = CountTree(game);
        return installed.files == expected.files && installed.bytes == expected.bytes;
    };
    const auto copy = [&] {
        return SpawnAndWait({"cp", "-a", "-T", package.string(), game.string()});
    };
    LauncherFrameWnd frame; // no log target: the walk's records are skipped
    frame.InstancePath = wxString(game.wstring()) + "/";
    const wxString root(package.wstring());
    std::vector<BenchTool> tools = {
        {"install walk", prepare, [&] { return frame.FileTranvers(root, root, false); }, check},
        {"cp -a", prepare, copy, check, true},
        {"cp -a + syncfs", prepare, [&] { return copy() && SyncFileSystemOf(game); }, check, true},
        {"fsync per file (old walk)", prepare, [&] { return ReplaceEachFile(package, game); },
         check},
    };
    // 0 rounds: one install walk over a fresh installation, untimed, to trace its calls.
    if (rounds == 0)
        return prepare() && tools[0].run() && check() ? 0 : 1;
    if (!RunRounds(tools, rounds))
        return 1;
    std::printf("%s: %llu files, %.1f MiB, %d rounds\n", package.c_str(),
                static_cast<unsigned long long>(expected.files),
                static_cast<double>(expected.bytes) / (1 << 20), rounds);
    PrintRatios(tools, {1, 2});
    return 0;
}

// A chain of directories "d" levels deep below root, made one level at a time (its paths soon
// outgrow what a path-based call can take).
bool MakeChain(const fs::path& root, int levels) {
    fs::create_directories(root);
    int dir = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < levels && dir >= 0; ++level) {
        if (mkdirat(dir, "d", 0755) != 0 && errno != EEXIST)
            return false;
        const int child = openat(dir, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(dir);
        dir = child;
    }
    return dir >= 0 && close(dir) == 0;
}

// Peak memory of checking a deep tree by descriptor, beside the recursive directory iterator
// the walk used before (only up to 2,000 levels: it needs gigabytes beyond).
int Deep(const fs::path& root, int levels) {
    if (!MakeChain(root, levels))
        return 1;
    const int dir = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ResetPeakResident();
    const uint64_t before = PeakResidentBytes();
    const auto start = std::chrono::steady_clock::now();
    const bool checked = CheckPackageTree(dir, root.string(), SIZE_MAX, levels + 1).has_value();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%d levels: descriptor walk %s in %.3f s, peak %.1f MiB (%.1f MiB above the "
                "start)\n",
                levels, checked ? "passed" : "FAILED", took.count(),
                static_cast<double>(PeakResidentBytes()) / (1 << 20),
                static_cast<double>(PeakResidentBytes() - before) / (1 << 20));
    close(dir);
    if (levels <= 2000) {
        ResetPeakResident();
        const auto again = std::chrono::steady_clock::now();
        std::error_code error;
        uint64_t entries = 0;
        for (fs::recursive_directory_iterator it(root, error), end; !error && it != end;
             it.increment(error))
            ++entries;
        const std::chrono::duration<double> iterated = std::chrono::steady_clock::now() - again;
        std::printf("%d levels: recursive_directory_iterator saw %llu entries in %.3f s, peak "
                    "%.1f MiB (%.1f MiB above the start)\n",
                    levels, static_cast<unsigned long long>(entries), iterated.count(),
                    static_cast<double>(PeakResidentBytes()) / (1 << 20),
                    static_cast<double>(PeakResidentBytes() - before) / (1 << 20));
    }
    return checked ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "tree") == 0 && std::strcmp(argv[2], "deep") == 0) {
        const TreeSummary made = MakeDeepTree(argv[3]);
        std::printf("%s: %llu files, %.1f MiB\n", argv[3],
                    static_cast<unsigned long long>(made.files),
                    static_cast<double>(made.bytes) / (1 << 20));
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "tree") == 0)
        return MakeTreeCommand(argv[2], argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "deep") == 0)
        return Deep(argv[2], std::atoi(argv[3]));
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "run") == 0)
        return Run(argv[2], argc == 4 ? std::atoi(argv[3]) : 5);
    std::fprintf(stderr,
                 "usage: %s tree realistic|small|deep DIR\n"
                 "       %s run WORKDIR [ROUNDS]   (WORKDIR/package holds the tree; 0 rounds: one\n"
                 "                                 untimed install walk, to trace)\n"
                 "       %s deep DIR LEVELS        (memory of walking a chain LEVELS deep)\n",
                 argv[0], argv[0], argv[0]);
    return 2;
}
