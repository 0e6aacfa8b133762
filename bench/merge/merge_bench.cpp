// Times both index merges beside a tight read-patch-write-once loop and the one-write-per-field
// merge, on a 200,000-entry archive with a 50,000-entry increment and a 2,000,000-entry archive
// with a 500,000-entry increment, in interleaved rounds. Before every timed merge the installed
// files are restored and synced, outside the timed region: the index is copied back, the data
// file cut back to its length (the merges only append to it or overwrite blocks with the
// package's bytes, which every merge writes alike). Prints times, peak memory and the ratios
// to the baseline measured in the same rounds. The work directory lies under $TMPDIR (default
// /tmp) and is removed at the end.
// Usage: merge_bench [ROUNDS] (default 5 at the small size; the large one runs half as many)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "bench/support/rounds.h"
#include "bench_archive.h"
#include "launcher/launcher.h"
#include "launcher/update/merge.h"
#include "reference_merges.h"

namespace {

namespace fs = std::filesystem;

wxString Wide(const fs::path& path) {
    return wxString(path.wstring());
}

std::string Slurp(const fs::path& path) {
    std::ostringstream out;
    out << std::ifstream(path, std::ios::binary).rdbuf();
    return out.str();
}

class MergeCase {
public:
    MergeCase(const fs::path& dir, uint32_t installed, uint32_t package)
        : pristine_(BuildBenchArchive(dir / "pristine", installed, package)),
          work_(ArchivePaths(dir / "work")), dataLength_(fs::file_size(pristine_.installedData)) {
        fs::create_directories(work_.installedData.parent_path());
        fs::copy_file(pristine_.installedData, work_.installedData);
    }

    // The installed files as built, on disk.
    bool Restore() const {
        std::error_code error;
        fs::copy_file(pristine_.installedIndex, work_.installedIndex,
                      fs::copy_options::overwrite_existing, error);
        const int data = open(work_.installedData.c_str(), O_RDWR | O_CLOEXEC);
        const bool ok =
            !error && data >= 0 && ftruncate(data, off_t(dataLength_)) == 0 && syncfs(data) == 0;
        if (data >= 0)
            close(data);
        return ok;
    }

    // The reference merges work on the work copies of the installed files.
    BenchArchive Reference() const {
        return BenchArchive{work_.installedData, work_.installedIndex, pristine_.packageData,
                            pristine_.packageIndex};
    }
    // The installed index's and the package index's sizes: the bound on a merge's memory.
    double IndexMiB() const {
        return static_cast<double>(fs::file_size(pristine_.installedIndex) +
                                   fs::file_size(pristine_.packageIndex)) /
               (1 << 20);
    }
    bool InPlace() const {
        return MergeDataFilesInPlace(Wide(pristine_.packageIndex), Wide(work_.installedIndex));
    }
    bool Login(LauncherFrameWnd& frame) const {
        return frame.MergeDataFiles(Wide(pristine_.packageIndex), Wide(work_.installedIndex));
    }

    // The merges must leave the same bytes as the baseline, or the figures mean nothing.
    bool SameResults(LauncherFrameWnd& frame) const {
        Restore();
        ReadPatchWriteOnceLogin(Reference());
        const std::string data = Slurp(work_.installedData);
        const std::string index = Slurp(work_.installedIndex);
        Restore();
        Login(frame);
        if (Slurp(work_.installedData) != data || Slurp(work_.installedIndex) != index)
            return false;
        Restore();
        ReadPatchWriteOnceInPlace(Reference());
        const std::string marked = Slurp(work_.installedIndex);
        Restore();
        InPlace();
        return Slurp(work_.installedIndex) == marked;
    }

private:
    BenchArchive pristine_;
    BenchArchive work_;
    uint64_t dataLength_;
};

bool Measure(const MergeCase& merge, LauncherFrameWnd& frame, int rounds, const char* title) {
    const bool same = merge.SameResults(frame);
    std::printf("%s (installed + package index: %.1f MiB)\n  merged files identical to the "
                "baseline's: %s\n",
                title, merge.IndexMiB(), same ? "yes" : "NO");
    if (!same)
        return false;
    const auto restore = [&] { return merge.Restore(); };
    const auto reference = [&](void (*run)(const BenchArchive&)) {
        return [&merge, run] {
            run(merge.Reference());
            return true;
        };
    };
    std::vector<BenchTool> inPlace = {
        {"MergeDataFilesInPlace", restore, [&] { return merge.InPlace(); }},
        {"read-patch-write-once", restore, reference(ReadPatchWriteOnceInPlace)},
        {"one write per field", restore, reference(PerFieldInPlace)},
    };
    std::vector<BenchTool> login = {
        {"MergeDataFiles (login)", restore, [&] { return merge.Login(frame); }},
        {"read-patch-write-once", restore, reference(ReadPatchWriteOnceLogin)},
        {"one write per field", restore, reference(PerFieldLogin)},
    };
    if (!RunRounds(inPlace, rounds) || !RunRounds(login, rounds))
        return false;
    PrintRatios(inPlace, {1});
    PrintRatios(login, {1});
    // The goal for both merges: peak memory within 1.5x the two indexes they read.
    const double indexBytes = merge.IndexMiB() * (1 << 20);
    std::printf("  peak memory / the two indexes: in place %.2fx, login %.2fx\n",
                static_cast<double>(inPlace[0].peakBytes) / indexBytes,
                static_cast<double>(login[0].peakBytes) / indexBytes);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = (fs::path(tmp ? tmp : "/tmp") / "merge-bench-XXXXXX").string();
    if (rounds < 1 || mkdtemp(pattern.data()) == nullptr)
        return 1;
    const fs::path workRoot = pattern;
    LauncherFrameWnd frame; // no log target: the merge's records are skipped
    bool ok = true;
    {
        const MergeCase small(workRoot / "small", 200000, 50000);
        ok = Measure(small, frame, rounds, "200,000 entries, 50,000 updates");
    }
    fs::remove_all(workRoot / "small");
    if (ok) {
        const MergeCase large(workRoot / "large", 2000000, 500000);
        ok = Measure(large, frame, std::max(1, (rounds + 1) / 2),
                     "2,000,000 entries, 500,000 updates");
    }
    fs::remove_all(workRoot);
    return ok ? 0 : 1;
}
