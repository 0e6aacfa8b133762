#include "bounded_read.h"

#include "system/regular_file.h"

namespace liveupdate {

std::optional<std::string> ReadBoundedFile(const std::filesystem::path& path,
                                           std::uint64_t maxBytes, std::string& why) {
    platform::FileBytes file = platform::OpenRegularForRead(path, maxBytes);
    if (file.ok())
        return std::move(file.bytes);
    if (file.problem == platform::FileProblem::TooLarge)
        why = path.string() + " is larger than " + std::to_string(maxBytes) + " bytes";
    else
        why = path.string() + ": " + platform::DescribeFileProblem(file.problem);
    return std::nullopt;
}

} // namespace liveupdate
