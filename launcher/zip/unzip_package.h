#pragma once
// Unpacking a downloaded update package. Runs on the live-update callback's thread.
#include <functional>
#include <string>

// Unpacks `path` + ".tre" (isTre) or `path` + ".upd" into the directory `path`, created when the
// first entry needs it, reporting the share of entries done (0 to 100) after each entry to
// onProgress, on the calling thread (an empty function reports nothing).
// True only when the archive opened and every entry was written; false leaves ZipLastError at
// the code of the first entry that failed (ZipErrOpen when the archive itself failed), so a
// package that did not unpack whole is never installed. Later entries are still unpacked
// after a failure; what was written stays for the caller to inspect or delete.
// A package refused as a whole (see CheckZipPackage: overlapping entries, paths the system
// cannot name, too little free space) writes nothing, reports no progress and gives false with
// its code.
bool UnzipPackage(const std::wstring& path, bool isTre,
                  const std::function<void(float)>& onProgress);
