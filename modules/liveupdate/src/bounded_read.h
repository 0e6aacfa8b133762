#pragma once
// Reading a small file the module depends on (the key, a downloaded manifest) whole.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace liveupdate {

// The bytes of path when it is a regular file (a link to one will do) of at most maxBytes;
// nullopt otherwise, with the reason in `why`. Never blocks on a FIFO or a device.
std::optional<std::string> ReadBoundedFile(const std::filesystem::path& path,
                                           std::uint64_t maxBytes, std::string& why);

} // namespace liveupdate
