// Any bytes as a downloaded update package: written to a temporary directory and unpacked with
// UnzipPackage, then removed with everything it wrote.
#include "launcher/zip/unzip_package.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

fs::path NewDirectory() {
    std::string pattern = (fs::temp_directory_path() / "zip-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    return pattern;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A directory of its own for every input, removed after it: a stopped run leaves one at most.
    const fs::path dir = NewDirectory();
    {
        std::ofstream out(dir / "patch.upd", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    UnzipPackage((dir / "patch").wstring(), false, {});
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}
