#pragma once
// "version.ini" group "Version": the installed game version ("0.0" = fresh installation) and
// the installed launcher version. Fields are guarded by SettingsMutex() (settings_mutex.h)
// whenever a worker may touch them.
#include <wx/string.h>

class VersionConfig {
public:
    // The one object, built on first use.
    static VersionConfig* Instance();

    // Reads the file. A missing or unreadable file shows the missing-file message box; a file
    // without "Version" gives false without a message (LVersion is then not read).
    bool Load(wxString path);

    // Writes both versions into the existing file at FilePath; every other line keeps its
    // bytes. False when the file does not exist or cannot be replaced.
    bool Save();

    wxString Version;
    wxString LVersion;
    wxString FilePath;
};
