#pragma once
// Copying package content into the installation. A file reaches its place through a temporary
// sibling renamed over the destination, so a program or module in use is replaced rather than
// rewritten, and an interrupted install never leaves a half-written game file; a new directory
// is built whole beside its place and renamed in. A package holds plain files and directories
// only: a symbolic link or a special file in it is refused (logged, and the copy fails), since
// a link could lead a later step outside the program directory. Trees are walked by descriptor
// (copy_path_tree.h). All run on the install walk's thread.
#include <string>

#include <wx/string.h>

class StagedInstall;

// Copies the directory src with everything in it to dst. A dst that does not exist is built
// beside its place and renamed into it, so it appears complete or not at all; an existing
// directory dst receives src's content. True only when everything was copied; false, with the
// installation untouched, when src holds anything but files and directories or lies deeper
// than a package may.
bool CopyPath(const wxString& src, const wxString& dst);

// CopyPath's work for a tree already checked (CheckPackageTree), staged into staged: nothing is
// in place before staged.Commit(). src is an open directory, srcPath its path for records.
bool CopyCheckedDirectory(int src, const std::string& srcPath, const std::string& dst,
                          StagedInstall& staged);
