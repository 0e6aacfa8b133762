#include "launcher/config/legacy_migration.h"

#include "launcher/config/program_files.h"
#include "launcher/config/setting_config.h"
#include "launcher/config/version_config.h"
#include "system/profile.h"

namespace {

struct LegacyKey {
    const wchar_t* name;
    const wchar_t* fallback;
};

// "82" is not 0 or 1, but reads as "sound on", which is what old installations meant.
constexpr LegacyKey kResolutionKeys[] = {
    {L"Resolution", L"1024*768"},
    {L"FullScreen", L"0"},
    {L"Voice", L"82"},
    {L"BackGroundMusic", L""},
};

constexpr LegacyKey kVersionKeys[] = {
    {L"Version", L"0.0"},
    {L"LVersion", L"0.0"},
};

// Copies the keys from "zel.ini" [Setup] into a new file's group, in order. Failed writes are
// left to the settings object's Load, which reports a file that is still missing.
template <size_t N>
void MigrateIfMissing(const std::wstring& target, const wchar_t* group,
                      const LegacyKey (&keys)[N]) {
    if (IsExistingFile(target))
        return;
    CreateFileIfMissing(target);
    const std::wstring legacy = ProgramFile(L"zel.ini");
    for (const LegacyKey& key : keys) {
        const wxString value = ReadIniText(legacy, L"Setup", key.name, key.fallback);
        platform::WriteProfileString(target, group, key.name, value.ToStdWstring());
    }
}

} // namespace

bool LoadResolutionIni() {
    const std::wstring path = ProgramFile(L"resolution.ini");
    MigrateIfMissing(path, L"Setting", kResolutionKeys);
    return SettingConfig::Instance()->Load(path);
}

bool LoadVersionIni() {
    const std::wstring path = ProgramFile(L"version.ini");
    MigrateIfMissing(path, L"Version", kVersionKeys);
    return VersionConfig::Instance()->Load(path);
}
