#pragma once
// The one path helper: wide text <-> filesystem paths. Paths are UTF-8 on disk; text that
// cannot be converted gives std::nullopt so callers fail cleanly instead of opening a wrong name.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Wide text -> path, without touching separators. nullopt when the text has a lone surrogate
// or a character that cannot be encoded as UTF-8.
std::optional<std::filesystem::path> ToPath(std::wstring_view wide);

// Path -> wide text; bytes that are not valid UTF-8 give nullopt.
std::optional<std::wstring> FromPath(const std::filesystem::path& path);

// UTF-8 <-> wide conversion used by ToPath/FromPath, for text that is not a path.
std::optional<std::string> WideToUtf8(std::wstring_view wide);
std::optional<std::wstring> Utf8ToWide(std::string_view utf8);

// Data made on Windows may use "\" or "/": both become "/".
std::wstring NormaliseSeparators(std::wstring_view text);

// The directory of the running executable (/proc/self/exe), ending in "/" ("./" in the
// unlikely case that the link cannot be read).
std::wstring ExecutableDirectory();

} // namespace platform
