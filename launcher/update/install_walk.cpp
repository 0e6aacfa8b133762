// Installing an unpacked package over the game: the walk over the package directory.
#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/update/copy_path.h"
#include "launcher/update/delete_list.h"
#include "launcher/update/merge.h"
#include "launcher/update/progress.h"
#include "launcher/update/skipped_modules.h"
#include "system/path.h"

namespace fs = std::filesystem;

namespace {

// The name rules are tested on a lower-cased copy; every file operation uses the real path.
wxString LowerCopy(const wxString& path) {
    std::wstring lower = path.ToStdWstring();
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return wxString(lower);
}

// Adds to the install counter and shows the share done. The counter saturates: a wrap would
// throw the bar back to the start.
void AddInstalled(LauncherFrameWnd& frame, uint64_t bytes) {
    const uint64_t sum = frame.InstallDone.load() + bytes;
    const uint32_t done =
        static_cast<uint32_t>(std::min<uint64_t>(sum, std::numeric_limits<uint32_t>::max()));
    frame.InstallDone.store(done);
    const uint32_t total = frame.InstallTotal.load();
    // A package of empty files has nothing left to do.
    const float percent =
        total == 0 ? 100.0f : static_cast<float>(done) / static_cast<float>(total) * 100.0f;
    ShowUpdateProgress(percent);
}

// The bytes of the regular files under dir, as the package's total counted them.
uint64_t TreeBytes(const fs::path& dir) {
    uint64_t bytes = 0;
    std::error_code ec;
    fs::recursive_directory_iterator it(dir, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code sizeError;
        if (fs::is_regular_file(it->symlink_status(sizeError))) {
            const uintmax_t size = it->file_size(sizeError);
            if (!sizeError)
                bytes += size;
        }
    }
    return bytes;
}

// The names in dir, in the order the listing gives them; nothing when it cannot be opened.
std::optional<std::vector<fs::path>> ListDirectory(const fs::path& dir) {
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec)
        return std::nullopt;
    std::vector<fs::path> names;
    for (; !ec && it != fs::directory_iterator(); it.increment(ec))
        names.push_back(it->path().filename());
    return names;
}

} // namespace

// Runs on the thread that delivers the live-update module's process callback. Nothing is
// rolled back: entries handled before a failure stay installed, later ones are not visited.
bool LauncherFrameWnd::FileTranvers(wxString src, wxString base, bool isTre) {
    const auto srcDir = platform::ToPath(src.ToStdWstring());
    const auto names = srcDir ? ListDirectory(*srcDir) : std::nullopt;
    if (!names || !src.StartsWith(base))
        return false;
    for (const fs::path& name : *names) {
        const auto wideName = platform::FromPath(name);
        if (!wideName) {
            LOG_ERROR(L"%s(%d): %s holds a name that is not UTF-8, the package is refused", src);
            return false;
        }
        const wxString source = src + L"/" + wxString(*wideName);
        const wxString destination = InstancePath + source.Mid(base.length() + 1);
        const fs::path sourcePath = *srcDir / name;
        const auto destinationPath = platform::ToPath(destination.ToStdWstring());
        if (!destinationPath)
            return false;

        std::error_code ec;
        const fs::file_status status = fs::symlink_status(sourcePath, ec);
        if (fs::is_directory(status)) {
            const bool hasContent = !fs::is_empty(sourcePath, ec);
            // An installed directory may be the player's link (to another disk, say): enter it.
            if (hasContent && fs::is_directory(*destinationPath, ec)) {
                if (!FileTranvers(source, base, isTre))
                    return false;
                continue;
            }
            // Copied whole: counted by the bytes it holds, which the package's total includes.
            AddInstalled(*this, TreeBytes(sourcePath));
            if (!CopyPath(source, destination))
                return false;
            continue;
        }
        if (!fs::is_regular_file(status)) {
            LOG_ERROR(L"%s(%d): %s is neither a file nor a directory, the package is refused",
                      source);
            return false;
        }

        const wxString lower = LowerCopy(source);
        LOG_MESSAGE(L"%s(%d):process file is %s!", lower);
        if (lower.EndsWith(L".i") && !isTre) {
            // An index increment is merged into the installed archive, never copied.
            AddInstalled(*this, GetFileSize(source));
            const bool merged = lower.EndsWith(L"/login.dat.i")
                                    ? MergeDataFiles(source, destination)
                                    : MergeDataFilesInPlace(source, destination);
            if (!merged)
                return false;
            continue;
        }
        AddInstalled(*this, GetFileSize(source));
        // The login archive's data only reaches the installation through its index merge.
        if (lower.EndsWith(L"/login.dat"))
            continue;
        if (lower.EndsWith(L"/del.lst")) {
            ApplyDeleteList(source, InstancePath);
            continue;
        }
        if (!InstallFile(sourcePath, *destinationPath)) {
            LOG_ERROR(L"%s(%d): Failed to copy the file '%s' to '%s'", source, destination);
            if (!IsSkippedModule(lower))
                return false;
        }
    }
    return true;
}
