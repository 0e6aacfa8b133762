#pragma once
// Reading skins and images from the skin archive ("bt.dat", a zip file). The directory of an
// archive is read on first use and kept as long as the file's size and time stay the same.
// Safe on any thread.
#include <string>

namespace DuiLib::detail {

// The archive the paint manager is configured with: resource path + resource zip.
std::wstring SkinArchivePath();

// Entry names use "/" (a "\" is taken as "/"); an exact match wins over one that differs only
// in letter case. False when the archive or the entry is missing, unreadable or damaged.
bool ReadArchiveEntry(const std::wstring& archivePath, const std::wstring& entryName,
                      std::string& bytes);
bool ArchiveHasEntry(const std::wstring& archivePath, const std::wstring& entryName);

} // namespace DuiLib::detail
