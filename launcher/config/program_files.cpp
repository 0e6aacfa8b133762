#include "launcher/config/program_files.h"

#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "system/path.h"
#include "system/profile.h"
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

void CreateFileIfMissing(const std::wstring& path) {
    const auto file = platform::ToPath(path);
    if (!file)
        return;
    const int fd = open(file->c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0)
        close(fd);
}

wxString ReadIniText(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                     const wxString& fallback) {
    return wxString(
        platform::ReadProfileString(file, section, key, fallback.ToStdWstring(), kIniBufferChars));
}
