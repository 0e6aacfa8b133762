#include "launcher/config/legacy_migration.h"

#include "launcher/config/program_files.h"
#include "launcher/config/setting_config.h"
#include "launcher/config/version_config.h"
#include "system/atomic_replace.h"
#include "system/path.h"
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

// Creates the new file from the keys of "zel.ini" [Setup], in order. The file appears whole or
// not at all (a full disk or a crash must not leave an empty or partial file, which would
// never be migrated again). A failure is left to the settings object's Load, which reports
// the missing file.
template <size_t N>
void MigrateIfMissing(const std::wstring& target, const wchar_t* group,
                      const LegacyKey (&keys)[N]) {
    if (IsExistingFile(target))
        return;
    const platform::ProfileFile legacy(ProgramFile(L"zel.ini"));
    std::wstring text = std::wstring(L"[") + group + L"]\n";
    for (const LegacyKey& key : keys) {
        text += key.name;
        text += L'=';
        text += ReadIniText(legacy, L"Setup", key.name, key.fallback).ToStdWstring();
        text += L'\n';
    }
    const auto path = platform::ToPath(target);
    const auto bytes = platform::WideToUtf8(text);
    if (path && bytes)
        platform::ReplaceFileAtomically(*path, *bytes);
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
