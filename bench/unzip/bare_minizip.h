#pragma once
// The reference the zip layer is measured against: the plainest extraction loop over minizip's
// own stdio file functions, with no checks, no times and no permissions.
#include <filesystem>

// Extracts every entry of `archive` below `outDir`; false on the first error.
bool BareMinizipExtract(const std::filesystem::path& archive, const std::filesystem::path& outDir);
