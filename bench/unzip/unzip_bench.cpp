// Side-by-side timing of one archive's extraction: UnzipPackage, a bare minizip loop, bsdtar and
// Info-ZIP unzip. Outputs are moved into a trash directory between runs instead of deleted, so
// no run pays for the file system reclaiming the previous one's files; the caller empties it.
#include "bench/unzip/bare_minizip.h"
#include "bench/unzip/package_tree.h"
#include "launcher/zip/unzip_package.h"
#include "launcher/zip/zip_entry.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

bool Spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

struct Tool {
    const char* name;
    std::function<bool(const fs::path& archive, const fs::path& out)> run;
    std::vector<double> seconds;
};

std::pair<uint64_t, uint64_t> CountTree(const fs::path& root) {
    uint64_t files = 0;
    uint64_t bytes = 0;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (item.is_regular_file()) {
            ++files;
            bytes += item.file_size();
        }
    }
    return {files, bytes};
}

int Run(const fs::path& archive, const fs::path& work, int runs) {
    const fs::path trash = work / "trash";
    fs::create_directories(trash);
    std::vector<Tool> tools = {
        {"UnzipPackage",
         [&](const fs::path& source, const fs::path& out) {
             // UnzipPackage takes the package path without ".upd" and unpacks beside it.
             const fs::path package = fs::path(out.string() + ".upd");
             fs::remove(package);
             fs::create_symlink(fs::absolute(source), package);
             return UnzipPackage(out.wstring(), false, {});
         },
         {}},
        {"minizip loop",
         [](const fs::path& source, const fs::path& out) {
             return BareMinizipExtract(source, out);
         },
         {}},
        {"bsdtar -xf",
         [](const fs::path& source, const fs::path& out) {
             fs::create_directories(out);
             return Spawn({"bsdtar", "-xf", source.string(), "-C", out.string()});
         },
         {}},
        {"unzip -q -o",
         [](const fs::path& source, const fs::path& out) {
             return Spawn({"unzip", "-q", "-o", source.string(), "-d", out.string()});
         },
         {}},
    };

    uint64_t files = 0;
    uint64_t bytes = 0;
    for (int run = 0; run < runs; ++run) {
        for (size_t k = 0; k < tools.size(); ++k) {
            // Rotate the order so no tool always follows the same one.
            Tool& tool = tools[(k + static_cast<size_t>(run)) % tools.size()];
            const fs::path out = work / "out";
            sync(); // earlier runs' dirty pages are not charged to this one
            const auto start = std::chrono::steady_clock::now();
            const bool ok = tool.run(archive, out);
            const auto end = std::chrono::steady_clock::now();
            if (!ok) {
                std::fprintf(stderr, "%s failed on %s\n", tool.name, archive.c_str());
                return 1;
            }
            tool.seconds.push_back(std::chrono::duration<double>(end - start).count());
            const auto [f, b] = CountTree(out);
            if (files == 0) {
                files = f;
                bytes = b;
            } else if (f != files || b != bytes) {
                std::fprintf(
                    stderr, "%s wrote %llu files, %llu bytes; expected %llu, %llu\n", tool.name,
                    static_cast<unsigned long long>(f), static_cast<unsigned long long>(b),
                    static_cast<unsigned long long>(files), static_cast<unsigned long long>(bytes));
                return 1;
            }
            fs::rename(out, trash / (std::to_string(run) + "-" + std::to_string(k)));
        }
    }

    // Other work on the machine slows whole stretches of time, so each tool is compared with a
    // reference within the same round (the tools of a round run back to back) and the median
    // of those ratios is reported beside the best and median times.
    auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    auto ratio = [&](const Tool& tool, const Tool& reference) {
        std::vector<double> ratios;
        for (size_t run = 0; run < tool.seconds.size(); ++run)
            ratios.push_back(tool.seconds[run] / reference.seconds[run]);
        return median(ratios);
    };
    std::printf("%s: %llu files, %.1f MiB unpacked, %.1f MiB archive, %d rounds\n",
                archive.filename().c_str(), static_cast<unsigned long long>(files),
                static_cast<double>(bytes) / (1 << 20),
                static_cast<double>(fs::file_size(archive)) / (1 << 20), runs);
    std::printf("  %-14s %8s %9s %7s %10s %11s\n", "tool", "best s", "median s", "MiB/s",
                "/ bsdtar", "/ minizip");
    for (const Tool& tool : tools) {
        const double best = *std::min_element(tool.seconds.begin(), tool.seconds.end());
        std::printf("  %-14s %8.3f %9.3f %7.0f %9.2fx %10.2fx\n", tool.name, best,
                    median(tool.seconds), static_cast<double>(bytes) / (1 << 20) / best,
                    ratio(tool, tools[2]), ratio(tool, tools[1]));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "tree") == 0) {
        const bool small = std::strcmp(argv[2], "small") == 0;
        const TreeSummary summary =
            small ? MakeSmallFilesTree(argv[3]) : MakeRealisticTree(argv[3]);
        std::printf("%s: %llu files, %.1f MiB\n", argv[3],
                    static_cast<unsigned long long>(summary.files),
                    static_cast<double>(summary.bytes) / (1 << 20));
        return 0;
    }
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
