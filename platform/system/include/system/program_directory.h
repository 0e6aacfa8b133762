#pragma once
// The program directory: where the launcher, its modules, skins and settings live. Set once by
// the process entry (tests set a temporary directory); read from any thread.
#include <string>
#include <string_view>

namespace platform {

// Stores the directory as given (a "\" in it stays a character of a name), with a trailing "/".
// A later call replaces it.
void SetProgramDirectory(std::wstring_view directory);

// The directory last set, ending in "/"; the executable's directory when none was set.
std::wstring ProgramDirectory();

} // namespace platform
