#pragma once
// "resolution.ini" group "Setting": full-screen flag, resolution code ("0".."3", see the
// game-settings dialog) and sound flag. Fields are guarded by SettingsMutex()
// (settings_mutex.h) whenever a worker may touch them.
#include <wx/string.h>

class SettingConfig {
public:
    // The one object, built on first use.
    static SettingConfig* Instance();

    // Reads the file; a missing or unreadable file shows the missing-file message box. The old
    // resolution texts "800*600" and "1024*768" become "0" and "1" in memory only.
    bool Load(wxString path);

    // Writes the three settings into the existing file at FilePath; every other line keeps its
    // bytes. False when the file does not exist or cannot be replaced.
    bool Save();

    bool FullScreen = false;
    wxString Resolution;
    bool Voice = true;
    wxString FilePath;
};
