#pragma once
// Opening URLs and starting programs, detached: the launcher never waits for them.
#include <string>
#include <vector>

namespace platform {

// Splits a parameter string as the Windows C runtime does: white space separates, double
// quotes group (and are removed), an unterminated quote runs to the end, backslashes before a
// quote follow the runtime's doubling rules.
std::vector<std::string> SplitCommandLine(const std::string& params);

// A URL (scheme "http:", "https:" or "mailto:") goes to xdg-open; anything else is a program
// started with posix_spawn, params split by SplitCommandLine, in workingDir when not empty.
// True when the process was started.
bool ShellOpen(const std::wstring& fileOrUrl, const std::wstring& params,
               const std::wstring& workingDir);

} // namespace platform
