#pragma once
// Entry names from an archive are untrusted: these turn them into paths below a base directory.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// An entry's raw name as text: UTF-8, with U+FFFD for each byte that starts no valid sequence
// (an archive from a tool that wrote another code page still unpacks, under a replaced name).
std::wstring DecodeZipName(std::string_view raw);

// Drops drive prefixes ("C:"), leading separators and everything up to the last
// separator-dot-dot-separator group ("\..\", "\../", "/../", "/..\"). Separators are kept as
// they are; the result may still be unsafe (for instance "../x") and is checked by
// ResolveZipTarget before anything is written.
std::wstring SanitiseZipName(std::wstring_view name);

// A target name split into UTF-8 components below the base directory.
struct ZipTarget {
    std::vector<std::string> directories; // levels above the file (or all levels of a directory)
    std::string file;                     // the file's own name; empty for a directory
    bool isDirectory = false;             // the name ends in a separator
};

// Every level of the target's path, its file included.
std::vector<std::string> ZipTargetLevels(const ZipTarget& target);

// Checks a target name and splits it. Refused (nullopt): empty names, control characters,
// absolute names ("/x", "C:..."), any ".." component, text that is not valid Unicode, and names
// with no component left that do not name a directory. "\" and "/" both separate; empty and
// "." components are dropped, so a name of dots and separators alone ("./") is the base itself.
std::optional<ZipTarget> ResolveZipTarget(std::wstring_view target);
