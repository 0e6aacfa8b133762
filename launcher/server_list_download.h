#pragma once
// Fetching the server list: one HTTP GET into one file, and the cycles over the two configured
// addresses that put a fresh "ServerList.xml" in place. Both run on the server-list worker.
#include <atomic>

#include <wx/string.h>

// One GET of url into outputPath, with a connect time-out in seconds, no redirect followed,
// status 200 only. The body is committed only on success; abort (when given) ends the
// transfer at once. True on success.
bool DownloadFile(long connectTimeout, const wxString& url, const wxString& outputPath,
                  const std::atomic<bool>* abort);

// Tries the frame's two server-list addresses, up to three cycles, into "ServerListTemp.xml" in
// programDir; a body of at least 4 bytes replaces "ServerList.xml" by a rename, so a crash never
// leaves half a list. True when a new list was put in place; "ServerListTemp.xml" is gone after.
bool DownLoadServerListFile(const wxString& programDir, const wxString& url1, const wxString& url2,
                            const std::atomic<bool>* abort);
