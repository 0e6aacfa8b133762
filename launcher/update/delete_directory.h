#pragma once
// Deleting a file or a whole directory tree (the download directory, "temp", "data").
#include <wx/string.h>

// Deletes path and, for a directory, everything in it, without following symbolic links out
// of it (a link is removed, never what it points to). True exactly when path existed and
// everything was deleted; what could not be deleted stays. Any thread.
bool DeleteDirectory(const wxString& path);
