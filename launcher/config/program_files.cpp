#include "launcher/config/program_files.h"

#include <filesystem>

#include "system/path.h"
#include "system/program_directory.h"

namespace {
constexpr size_t kIniBufferChars = 255;
}

std::wstring ProgramFile(const wchar_t* name) {
    return platform::ProgramDirectory() + name;
}

bool IsExistingFile(const std::wstring& path) {
    const auto file = platform::ToPath(path);
    std::error_code ec;
    return file && std::filesystem::is_regular_file(*file, ec);
}

void RemoveFileIfPresent(const std::wstring& path) {
    if (const auto file = platform::ToPath(path)) {
        std::error_code ec;
        std::filesystem::remove(*file, ec);
    }
}

wxString ReadIniText(const platform::ProfileFile& ini, const wchar_t* section, const wchar_t* key,
                     const wxString& fallback) {
    return wxString(ini.ReadString(section, key, fallback.ToStdWstring(), kIniBufferChars));
}
