// Times both index merges on a 200,000-entry archive with a 50,000-entry increment, beside a
// read-patch-write-once baseline and the one-write-per-field merge. Each iteration starts from
// fresh copies of the installed files; only the merge itself is timed (files in the page cache).
// The work directory lies under $TMPDIR (default /tmp) and is removed at the end.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "bench_archive.h"
#include "launcher/launcher.h"
#include "launcher/update/merge.h"
#include "reference_merges.h"

namespace {

namespace fs = std::filesystem;

fs::path workRoot;
BenchArchive pristine;
BenchArchive work;
LauncherFrameWnd* frame = nullptr;

void Restore() {
    const auto copy = [](const fs::path& from, const fs::path& to) {
        fs::create_directories(to.parent_path());
        fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    };
    copy(pristine.installedData, work.installedData);
    copy(pristine.installedIndex, work.installedIndex);
}

template <typename Merge> void Timed(benchmark::State& state, Merge&& merge) {
    for (auto _ : state) {
        Restore();
        const auto start = std::chrono::steady_clock::now();
        merge();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
    }
}

wxString Wide(const fs::path& path) {
    return wxString(path.wstring());
}

void InPlaceMerge(benchmark::State& state) {
    Timed(state, [] {
        if (!MergeDataFilesInPlace(Wide(pristine.packageIndex), Wide(work.installedIndex)))
            std::abort();
    });
}

void LoginMerge(benchmark::State& state) {
    Timed(state, [] {
        if (!frame->MergeDataFiles(Wide(pristine.packageIndex), Wide(work.installedIndex)))
            std::abort();
    });
}

// The reference merges work on the work copies of the installed files.
BenchArchive WorkWithPristinePackage() {
    return BenchArchive{work.installedData, work.installedIndex, pristine.packageData,
                        pristine.packageIndex};
}

void InPlaceBaseline(benchmark::State& state) {
    Timed(state, [] { ReadPatchWriteOnceInPlace(WorkWithPristinePackage()); });
}
void LoginBaseline(benchmark::State& state) {
    Timed(state, [] { ReadPatchWriteOnceLogin(WorkWithPristinePackage()); });
}
void InPlacePerField(benchmark::State& state) {
    Timed(state, [] { PerFieldInPlace(WorkWithPristinePackage()); });
}
void LoginPerField(benchmark::State& state) {
    Timed(state, [] { PerFieldLogin(WorkWithPristinePackage()); });
}

std::string Slurp(const fs::path& path) {
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
}

// The merges must leave the same bytes as the baseline, or the figures mean nothing.
bool SameResults() {
    Restore();
    ReadPatchWriteOnceLogin(WorkWithPristinePackage());
    const std::string data = Slurp(work.installedData), index = Slurp(work.installedIndex);
    Restore();
    frame->MergeDataFiles(Wide(pristine.packageIndex), Wide(work.installedIndex));
    if (Slurp(work.installedData) != data || Slurp(work.installedIndex) != index)
        return false;
    Restore();
    ReadPatchWriteOnceInPlace(WorkWithPristinePackage());
    const std::string marked = Slurp(work.installedIndex);
    Restore();
    MergeDataFilesInPlace(Wide(pristine.packageIndex), Wide(work.installedIndex));
    return Slurp(work.installedIndex) == marked;
}

} // namespace

BENCHMARK(InPlaceMerge)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(InPlaceBaseline)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(InPlacePerField)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(LoginMerge)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(LoginBaseline)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(LoginPerField)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

int main(int argc, char** argv) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = (fs::path(tmp ? tmp : "/tmp") / "merge-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        return 1;
    workRoot = pattern;
    pristine = BuildBenchArchive(workRoot / "pristine", 200000, 50000);
    work = ArchivePaths(workRoot / "work");
    LauncherFrameWnd mainFrame; // no log target: the merge's records are skipped
    frame = &mainFrame;

    const bool same = SameResults();
    std::printf("merged files identical to the baseline's: %s\n", same ? "yes" : "NO");
    benchmark::Initialize(&argc, argv);
    if (same)
        benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(workRoot);
    return same ? 0 : 1;
}
