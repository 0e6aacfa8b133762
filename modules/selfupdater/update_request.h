#pragma once
// What the launcher asks of the self-updater: copy the content of one directory over the
// program directory.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace selfupdater {

struct UpdateRequest {
    std::filesystem::path sourceDir;  // the unpacked update package
    std::filesystem::path programDir; // the launcher's program directory
};

// The launcher's parameter string is a double quote, the source directory, "*", the program
// directory and no closing quote; split by the command-line rules it arrives as the one
// argument "SOURCE*PROGRAM". Started without that splitting, the argument still begins with
// the quote, which is dropped. Both directories must be absolute; a trailing "/" is optional.
// Refused (nullopt, `reason` says why): any other argument count (a quote inside a path ends
// the group early, and the rest splits at spaces), a quote left in the text, no "*" or more
// than one (a "*" inside a path), an empty or relative directory, the same directory twice.
// Pairs of quotes inside a path leave no trace after splitting; the launcher never passes such
// a path, and the directory then named does not exist.
std::optional<UpdateRequest> ParseUpdateRequest(const std::vector<std::string>& args,
                                                std::string& reason);

} // namespace selfupdater
