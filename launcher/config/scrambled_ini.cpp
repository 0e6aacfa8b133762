#include "launcher/config/scrambled_ini.h"

#include "launcher/config/program_files.h"
#include "launcher/config/scrambled_file.h"
#include "system/profile.h"

const wxString ScrambleKey = L"PaxLorQ884021mit552";

namespace {

constexpr size_t kSectionBufferChars = 255;

std::wstring CopyName(const wchar_t* iniName) {
    return std::wstring(iniName) + L".tmp";
}

// A missing file has no section either.
bool HasSection(const platform::ProfileFile& ini) {
    const auto names = ini.SectionNames(kSectionBufferChars);
    return !names.empty() && !names.front().empty();
}

} // namespace

IniToRead PrepareIniToRead(const wchar_t* iniName, LeftoverCopy leftover) {
    const std::wstring iniPath = ProgramFile(iniName);
    const std::wstring copyName = CopyName(iniName);
    const std::wstring copyPath = ProgramFile(copyName.c_str());
    if (leftover == LeftoverCopy::Keep && !IsExistingFile(iniPath))
        return {iniPath, false, platform::ProfileFile(iniPath)};
    RemoveFileIfPresent(copyPath);
    platform::ProfileFile ini(iniPath);
    if (HasSection(ini))
        return {iniPath, false, std::move(ini)};
    if (DecodeScrambledFile(iniName, ScrambleKey.wc_str(), copyName.c_str()) &&
        IsExistingFile(copyPath))
        return {copyPath, true, platform::ProfileFile(copyPath)};
    return {iniPath, false, std::move(ini)};
}

void RemoveIniCopy(const wchar_t* iniName) {
    RemoveFileIfPresent(ProgramFile(CopyName(iniName).c_str()));
}
