// Side-by-side timing of one archive's extraction: UnzipPackage, a bare minizip loop with a
// 256 KiB buffer, bsdtar and Info-ZIP unzip. Outputs are moved into a trash directory between
// runs instead of deleted, so no run pays for the file system reclaiming the previous one's
// files; run.sh truncates them at the end.
#include "bench/support/rounds.h"
#include "bench/support/spawn.h"
#include "bench/unzip/bare_minizip.h"
#include "bench/unzip/package_tree.h"
#include "launcher/zip/unzip_package.h"
#include "launcher/zip/zip_entry.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

int Run(const fs::path& archive, const fs::path& work, int runs) {
    const fs::path trash = work / "trash";
    const fs::path out = work / "out";
    fs::create_directories(trash);
    uint64_t files = 0;
    uint64_t bytes = 0;
    int moved = 0;
    // Earlier runs' dirty pages are not charged to this one.
    const auto prepare = [] {
        sync();
        return true;
    };
    // Every tool writes the same files; the output is then moved aside, never deleted.
    const auto finish = [&] {
        const TreeSummary written = CountTree(out);
        if (files == 0) {
            files = written.files;
            bytes = written.bytes;
        }
        fs::rename(out, trash / (std::to_string(getpid()) + "-" + std::to_string(moved++)));
        return written.files == files && written.bytes == bytes;
    };
    std::vector<BenchTool> tools = {
        {"UnzipPackage", prepare,
         [&] {
             // UnzipPackage takes the package path without ".upd" and unpacks beside it.
             const fs::path package = fs::path(out.string() + ".upd");
             fs::remove(package);
             fs::create_symlink(fs::absolute(archive), package);
             return UnzipPackage(out.wstring(), false, {});
         },
         finish},
        {"minizip loop (256 KiB)", prepare, [&] { return BareMinizipExtract(archive, out); },
         finish},
        {"bsdtar -xf", prepare,
         [&] {
             fs::create_directories(out);
             return SpawnAndWait({"bsdtar", "-xf", archive.string(), "-C", out.string()});
         },
         finish, true},
        {"unzip -q -o", prepare,
         [&] {
             return SpawnAndWait({"unzip", "-q", "-o", archive.string(), "-d", out.string()});
         },
         finish, true},
    };
    if (!RunRounds(tools, runs))
        return 1;
    std::printf("%s: %llu files, %.1f MiB unpacked, %.1f MiB archive, %d rounds\n",
                archive.filename().c_str(), static_cast<unsigned long long>(files),
                static_cast<double>(bytes) / (1 << 20),
                static_cast<double>(fs::file_size(archive)) / (1 << 20), runs);
    PrintRatios(tools, {1, 2});
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "tree") == 0)
        return MakeTreeCommand(argv[2], argv[3]);
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "run") == 0)
        return Run(argv[2], argv[3], argc == 5 ? std::atoi(argv[4]) : 5);
    // One extraction by UnzipPackage alone, for profilers (perf stat, perf record).
    if (argc == 3 && std::strcmp(argv[1], "once") == 0)
        return UnzipPackage(fs::path(argv[2]).replace_extension().wstring(), false, {}) ? 0 : 1;
    std::fprintf(stderr,
                 "usage: %s tree realistic|small DIR\n"
                 "       %s run ARCHIVE WORKDIR [RUNS]\n"
                 "       %s once PACKAGE.upd\n",
                 argv[0], argv[0], argv[0]);
    return 2;
}
