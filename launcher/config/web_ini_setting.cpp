#include "launcher/config/web_ini_setting.h"

#include "launcher/config/program_files.h"
#include "launcher/config/scrambled_ini.h"

WebIniSetting ReadWebIniSetting() {
    WebIniSetting setting;
    const IniToRead ini = PrepareIniToRead(L"web.ini", LeftoverCopy::Keep);
    if (!IsExistingFile(ini.path))
        return setting;
    setting.present = true;
    setting.title = ReadIniText(ini.values, L"Setting", L"AppTitle", setting.title);
    setting.logo = ReadIniText(ini.values, L"Setting", L"Logo", setting.logo);
    setting.logoWidth = ini.values.ReadInt(L"Setting", L"LogoWidth", setting.logoWidth);
    setting.logoHeight = ini.values.ReadInt(L"Setting", L"LogoHeight", setting.logoHeight);
    return setting;
}

void DeleteWebIniCopy() {
    RemoveIniCopy(L"web.ini");
}
