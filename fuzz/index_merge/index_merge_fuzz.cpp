// The index files and both merges over any bytes. The input names four files, separated by
// "\n====\n": the installed "login.dat.i" and "login.dat", then the package's. When the installed
// index held no entries, every entry a merge leaves came from the package and points inside the
// data file.
#include <system_error>

#include "fuzz/support/check.h"
#include "fuzz/support/scratch_dir.h"
#include "launcher/update/index_file.h"
#include "launcher/update/merge.h"

namespace fs = std::filesystem;
using fuzzing::Check;

namespace {

wxString Name(const fs::path& path) {
    return wxString(path.wstring());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path& root = fuzzing::ScratchDir();
    const auto parts = fuzzing::SplitInput(data, size, "\n====\n", 4);
    std::error_code ignored;
    fs::create_directories(root / "game", ignored);
    fs::create_directories(root / "package", ignored);
    const fs::path installedIndex = root / "game" / "login.dat.i";
    const fs::path installedData = root / "game" / "login.dat";
    const fs::path packageIndex = root / "package" / "login.dat.i";
    fuzzing::WriteBytes(installedIndex, parts[0]);
    fuzzing::WriteBytes(installedData, parts[1]);
    fuzzing::WriteBytes(packageIndex, parts[2]);
    fuzzing::WriteBytes(root / "package" / "login.dat", parts[3]);

    if (MergeLoginDataFiles(Name(packageIndex), Name(installedIndex))) {
        TrackedIndex merged(Name(installedData));
        Check(merged.LoadForDataFile());
        const uintmax_t dataSize = fs::file_size(installedData);
        if (parts[0].size() < kIndexHeaderSize + kIndexEntrySize) {
            for (int32_t i = 0; i < merged.Count(); ++i) {
                const IndexEntry entry = merged.Entry(static_cast<uint32_t>(i)).entry;
                Check(uint64_t{entry.offset} + entry.size <= dataSize);
            }
        }
    }

    // The in-place merge, onto a copy of the installed index and onto none at all.
    const fs::path other = root / "game" / "other.i";
    const fs::path fresh = root / "game" / "fresh.i";
    fuzzing::WriteBytes(other, parts[0]);
    fs::remove(fresh, ignored);
    MergeDataFilesInPlace(Name(packageIndex), Name(other));
    if (MergeDataFilesInPlace(Name(packageIndex), Name(fresh))) {
        TrackedIndex created(Name(fresh));
        Check(created.Load());
    }
    return 0;
}
