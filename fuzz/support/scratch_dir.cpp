#include "fuzz/support/scratch_dir.h"

#include <fstream>

#include "tests/support/temp_dir.h"

namespace fuzzing {

const std::filesystem::path& ScratchDir() {
    static const testing_support::TempDir dir;
    return dir.path();
}

void WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string_view> SplitInput(const uint8_t* data, size_t size,
                                         std::string_view separator, size_t parts) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> pieces;
    while (pieces.size() + 1 < parts) {
        const size_t at = rest.find(separator);
        if (at == std::string_view::npos)
            break;
        pieces.push_back(rest.substr(0, at));
        rest.remove_prefix(at + separator.size());
    }
    pieces.push_back(rest);
    pieces.resize(parts);
    return pieces;
}

} // namespace fuzzing
