// "web.ini" group "Web": page addresses that override the built-in ones. The file may be
// scrambled. Runs once on the UI thread inside the window's initialisation.
#include "launcher/config/program_files.h"
#include "launcher/config/scrambled_ini.h"
#include "launcher/launcher.h"

void LauncherFrameWnd::LoadWebIni() {
    const IniToRead ini = PrepareIniToRead(L"web.ini", LeftoverCopy::Keep);
    if (!IsExistingFile(ini.path))
        return;
    const struct {
        const wchar_t* key;
        wxString* member;
    } entries[] = {
        {L"WebsiteUrl", &WebsiteUrl},   {L"RechargeUrl", &RechargeUrl},
        {L"RegisterUrl", &RegisterUrl}, {L"BBSUrl", &BBSUrl},
        {L"Web404Url", &Web404Url},     {L"TopUrl", &TopUrl},
        {L"Top600Url", &Top600Url},     {L"RightUrl", &RightUrl},
        {L"Right600Url", &Right600Url}, {L"LeftUrl", &LeftUrl},
        {L"Left600Url", &Left600Url},
    };
    for (const auto& entry : entries)
        *entry.member = ReadIniText(ini.values, L"Web", entry.key, *entry.member);
    RemoveIniCopy(L"web.ini");
}
