#pragma once
// A package's delete list ("del.lst"): entries separated by any white space, each a UTF-8 path
// relative to the program directory that names an installed file to remove. The list comes
// from outside, so no entry may reach anything outside the program directory.
#include <wx/string.h>

// Deletes every existing regular file the list names under programDirectory (which ends in
// "/"). "\" and "/" both separate directories. An entry deletes nothing when it is not valid
// UTF-8, is longer than 255 bytes, is absolute, has a ".." segment or passes through a symbolic
// link; refusals are logged. Reading ends at the end of the list, at a read error or at a NUL
// byte (a list holding one is not text: UTF-16, for instance), so no list keeps the walk
// reading. A missing list does nothing; failed deletions are not reported.
// Runs on the install walk's thread.
void ApplyDeleteList(const wxString& listPath, const wxString& programDirectory);
