#pragma once
// "zel.ini" group "Setup": the server-list and update addresses, and the player's chosen game
// server (which the game client reads from the same file). Fields are guarded by
// SettingsMutex() (settings_mutex.h) whenever a worker may touch them.
#include <wx/string.h>

class SettingsDocument;

class SetupConfig {
public:
    // The one object, built on first use.
    static SetupConfig* Instance();

    // Reads the file. False for an empty path or an unreadable file (silently; fields unchanged).
    // Update addresses missing from the file are derived from the old-style ones in memory, and
    // the file is then saved once per derived address.
    bool Load(wxString path);

    // Writes the four chosen-server keys into the file at FilePath, creating the file when it
    // does not exist; every other line keeps its bytes. False when nothing could be written.
    bool Save();

    wxString ServerListUrl;
    wxString UpdateVersionUrl;
    wxString ServerListUrl2;
    wxString UpdateVersionUrl2;
    wxString ServerAddr;
    wxString ServerPort;
    wxString ChargeUrl;
    wxString NewUpdateVersionUrl1;
    wxString NewUpdateVersionUrl2;
    wxString WeiServer;
    wxString WeiServer2;
    wxString ServerSid;
    wxString FilePath;

private:
    // Writes the four chosen-server keys into document and replaces the file with it.
    bool SaveInto(SettingsDocument& document);
};
