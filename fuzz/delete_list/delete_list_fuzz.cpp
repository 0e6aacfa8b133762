// The delete list over any bytes, in a program directory with links that lead out of it: whatever
// the list says, nothing outside the program directory is removed.
#include <system_error>

#include "fuzz/support/check.h"
#include "fuzz/support/scratch_dir.h"
#include "launcher/update/delete_list.h"

namespace fs = std::filesystem;
using fuzzing::Check;

namespace {

// program/ holds files, a folder and links to the sentinel beside it; each input starts from
// the same tree.
void PrepareTree(const fs::path& root) {
    std::error_code ignored;
    fs::create_directories(root / "program" / "data", ignored);
    fs::create_directories(root / "outside", ignored);
    for (const char* name :
         {"program/a.txt", "program/data/b.dat", "program/data/c d.txt", "outside/keep.txt"})
        fuzzing::WriteBytes(root / name, "x");
    if (!fs::is_symlink(root / "program" / "out"))
        fs::create_directory_symlink("../outside", root / "program" / "out", ignored);
    if (!fs::is_symlink(root / "program" / "keep.txt"))
        fs::create_symlink("../outside/keep.txt", root / "program" / "keep.txt", ignored);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const fs::path& root = fuzzing::ScratchDir();
    PrepareTree(root);
    fuzzing::WriteBytes(root / "del.lst",
                        std::string_view(reinterpret_cast<const char*>(data), size));
    ApplyDeleteList(wxString((root / "del.lst").wstring()),
                    wxString((root / "program").wstring() + L"/"));
    Check(fs::is_regular_file(root / "outside" / "keep.txt"));
    Check(fs::is_regular_file(root / "del.lst"));
    Check(fs::is_symlink(root / "program" / "out"));
    return 0;
}
