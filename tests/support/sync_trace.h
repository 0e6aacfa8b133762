#pragma once
// Whether data reaches the disk before a rename cannot be seen from inside a test, so a
// program that links this helper records its own fsync, fdatasync, syncfs and rename calls, in
// order, by standing in front of the C library's functions. Link it only into the test programs
// that need it.
#include <string>
#include <vector>

namespace testing_support {

// Starts recording afresh; events are "sync <path>" (the path the descriptor has at that
// moment), "syncfs <path>" (a whole file system, through a descriptor of that path) and
// "rename <from> -> <to>" (full paths).
void StartSyncTrace();
// What was recorded since the last start.
std::vector<std::string> SyncTrace();

} // namespace testing_support
