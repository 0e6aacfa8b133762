#pragma once
// Copying package content into the installation. A file reaches its place through a temporary
// sibling renamed over the destination, so a program or module in use is replaced rather than
// rewritten, and an interrupted install never leaves a half-written game file. A package holds
// plain files and directories only: a symbolic link or a special file in it is refused (logged,
// and the copy fails), since a link could lead a later step outside the program directory.
// Both run on the install walk's thread.
#include <filesystem>

#include <wx/string.h>

// Copies the directory src with everything in it to dst. A dst that does not exist is built
// beside its place and renamed into it, so it appears complete or not at all; an existing
// directory dst receives src's content. True only when everything was copied; false, with the
// installation untouched, when src holds anything but files and directories.
bool CopyPath(const wxString& src, const wxString& dst);

// Copies the regular file src over dst (created or replaced), keeping src's permission bits.
// False when src is not a regular file or dst cannot be replaced (a directory, for instance);
// dst is then as it was.
bool InstallFile(const std::filesystem::path& src, const std::filesystem::path& dst);
