#pragma once
// The two merges of index increments into installed data archives. Both run on the thread that
// delivers the live-update module's process callback, inside the install walk. A merge checks
// every offset and size against the real file lengths before it writes anything, so a refused
// increment leaves the installed files as they were; a write that fails part way is not undone.
#include <wx/string.h>

#include "launcher/update/index_file.h"

// Merges a package's blocks and entries into an installed data file and its index.
// - A package entry whose slot is not below the installed count is appended: its block goes to
//   the end of the data file and a new entry to the end of the index, taking the next entry
//   number whatever its slot says.
// - Otherwise a block no larger than the installed one overwrites its start; a larger block is
//   appended and the entry points at it. An installed entry whose block does not lie inside the
//   data file (0xFFFFFFFF included) is treated as not held: the block is appended.
// - When several package entries name one installed entry, the last one decides it; the earlier
//   ones are checked but neither read nor written.
// False, with nothing written, when a file cannot be opened, a package entry's block lies
// outside the package's data file, or the data file would reach 4 GiB; false when a write falls
// short. installed's entries are patched in memory as they are written (they are held once).
bool MergeIndexedData(const PlainIndex& package, TrackedIndex& installed);

// The "login.dat" merge behind LauncherFrameWnd::MergeDataFiles: source is the package's
// "login.dat.i", destination the installed one. Logs each failure while the log is open.
bool MergeLoginDataFiles(const wxString& source, const wxString& destination);

// Merges a package's index increment into an installed index without touching any data file;
// every entry it writes is marked 0xFFFFFFFF (not held locally). A missing installed index is
// created from the package's. Writes no log.
bool MergeDataFilesInPlace(const wxString& source, const wxString& destination);
