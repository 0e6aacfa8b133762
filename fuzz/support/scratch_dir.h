#pragma once
// A fuzz target's own directory for the files it builds from each input. Made on first use,
// removed when the process ends normally; a crash leaves it for the investigation.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace fuzzing {

const std::filesystem::path& ScratchDir();

// Writes bytes as the whole content of file (created or truncated).
void WriteBytes(const std::filesystem::path& file, std::string_view bytes);

// Cuts data at each occurrence of separator into at most `parts` pieces (the last one keeps any
// further separators), so one input can describe several files.
std::vector<std::string_view> SplitInput(const uint8_t* data, size_t size,
                                         std::string_view separator, size_t parts);

} // namespace fuzzing
