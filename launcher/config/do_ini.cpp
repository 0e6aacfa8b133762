// "Do.ini" group "Addr": server-list and update addresses that override "zel.ini". The file
// may be scrambled. Runs once on the UI thread inside the window's initialisation.
#include "launcher/config/program_files.h"
#include "launcher/config/scrambled_ini.h"
#include "launcher/launcher.h"

void LauncherFrameWnd::LoadDoIni() {
    const IniToRead ini = PrepareIniToRead(L"Do.ini", LeftoverCopy::Remove);
    if (IsExistingFile(ini.path)) {
        const struct {
            const wchar_t* key;
            wxString* member;
        } entries[] = {
            {L"ServerListUrl1", &ServerListUrl1},
            {L"ServerListUrl2", &ServerListUrl2},
            {L"UpdateVersionUrl1", &UpdateVersionUrl1},
            {L"UpdateVersionUrl2", &UpdateVersionUrl2},
            {L"CDNUpdateVersionUrl", &CDNUpdateVersionUrl},
        };
        for (const auto& entry : entries)
            *entry.member = ReadIniText(ini.values, L"Addr", entry.key, *entry.member);
    }
    RemoveIniCopy(L"Do.ini");
}
