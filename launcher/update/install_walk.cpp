// Installing an unpacked package over the game: the walk over the package directory.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cwctype>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <string>
#include <sys/stat.h>

#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/update/copy_path.h"
#include "launcher/update/copy_path_staging.h"
#include "launcher/update/copy_path_tree.h"
#include "launcher/update/delete_list.h"
#include "launcher/update/merge.h"
#include "launcher/update/progress.h"
#include "launcher/update/skipped_modules.h"
#include "system/below_root.h"
#include "system/directory_stream.h"
#include "system/path.h"

namespace {

// The name rules are tested on a lower-cased copy; every file operation uses the real path.
wxString LowerCopy(const wxString& path) {
    std::wstring lower = path.ToStdWstring();
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return wxString(lower);
}

std::string Utf8(const wxString& text) {
    const auto path = platform::ToPath(text.ToStdWstring());
    return path ? path->native() : std::string();
}

// One walk over a package: every copy is staged and the staged files are put in place
// together (copy_path_staging.h) before each step that reads or changes installed files (a
// merge, a delete list) and at the end, so the order of the steps is the listing's order.
class PackageWalk {
public:
    PackageWalk(LauncherFrameWnd& frame, const wxString& base, bool isTre)
        : frame_(frame), base_(base), isTre_(isTre) {}

    bool Directory(platform::UniqueFd dir, const wxString& src);
    bool Commit() { return staged_.Commit(); }

private:
    bool Entry(int dir, const char* name, const wxString& src);

    LauncherFrameWnd& frame_;
    const wxString& base_;
    bool isTre_;
    StagedInstall staged_;
};

bool PackageWalk::Directory(platform::UniqueFd dir, const wxString& src) {
    platform::DirectoryStream listing(std::move(dir));
    if (!listing.ok())
        return false;
    while (const dirent* entry = listing.Next()) {
        if (!Entry(listing.fd(), entry->d_name, src))
            return false;
    }
    return true;
}

bool PackageWalk::Entry(int dir, const char* name, const wxString& src) {
    const auto wideName = platform::FromPath(name);
    if (!wideName) {
        LOG_ERROR(L": %s holds a name that is not UTF-8, the package is refused", src);
        return false;
    }
    const wxString source = src + L"/" + wxString(*wideName);
    const wxString destination = frame_.InstancePath + source.Mid(base_.length() + 1);
    const std::string destinationPath = Utf8(destination);
    if (destinationPath.empty())
        return false;

    struct stat status {};
    if (fstatat(dir, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (S_ISDIR(status.st_mode)) {
        struct stat installed {};
        // An installed directory may be the player's link (to another disk, say): enter it.
        if (stat(destinationPath.c_str(), &installed) == 0 && S_ISDIR(installed.st_mode))
            return Directory(platform::OpenChildDirectory(dir, name, false), source);
        // Copied whole: counted by the bytes it holds, which the package's total includes.
        platform::UniqueFd child = platform::OpenChildDirectory(dir, name, false);
        const std::string sourcePath = Utf8(source);
        const auto bytes =
            child ? CheckPackageTree(child.get(), sourcePath, SIZE_MAX) : std::nullopt;
        if (!bytes)
            return false;
        AddInstalled(frame_, *bytes);
        return CopyCheckedDirectory(child.get(), sourcePath, destinationPath, staged_);
    }
    if (!S_ISREG(status.st_mode)) {
        LOG_ERROR(L": %s is neither a file nor a directory, the package is refused", source);
        return false;
    }

    const wxString lower = LowerCopy(source);
    LOG_MESSAGE(L":process file is %s!", lower);
    if (lower.EndsWith(L".i") && !isTre_) {
        // An index increment is merged into the installed archive, never copied.
        AddInstalled(frame_, static_cast<uint64_t>(status.st_size));
        if (!staged_.Commit())
            return false;
        return lower.EndsWith(L"/login.dat.i") ? frame_.MergeDataFiles(source, destination)
                                               : MergeDataFilesInPlace(source, destination);
    }
    AddInstalled(frame_, static_cast<uint64_t>(status.st_size));
    // The login archive's data only reaches the installation through its index merge.
    if (lower.EndsWith(L"/login.dat"))
        return true;
    if (lower.EndsWith(L"/del.lst")) {
        if (!staged_.Commit())
            return false;
        ApplyDeleteList(source, frame_.InstancePath);
        return true;
    }
    const size_t slash = destinationPath.find_last_of('/');
    return staged_.StageFile(dir, name, Utf8(source), destinationPath.substr(0, slash),
                             destinationPath.substr(slash + 1), IsSkippedModule(lower));
}

} // namespace

// Runs on the thread that delivers the live-update module's process callback. The package is
// checked whole first (only files and directories, depth and path lengths the system can hold),
// so a package refused for its shape changes nothing. Nothing is rolled back: entries handled
// before a failure stay installed, later ones are not visited.
bool LauncherFrameWnd::FileTranvers(wxString src, wxString base, bool isTre) {
    const std::string srcPath = Utf8(src);
    if (srcPath.empty() || !src.StartsWith(base))
        return false;
    platform::UniqueFd dir(open(srcPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir)
        return false;
    // Every path below must fit the system's limit both in the package and in the installation.
    const size_t longestRoot =
        std::max(srcPath.size(), Utf8(InstancePath + src.Mid(base.length() + 1)).size());
    if (longestRoot >= PATH_MAX || !CheckPackageShape(dir.get(), srcPath, PATH_MAX - longestRoot))
        return false;
    PackageWalk walk(*this, base, isTre);
    const bool walked = walk.Directory(std::move(dir), src);
    // What was handled before a failure is installed, as it would have been one file at a time.
    const bool committed = walk.Commit();
    return walked && committed;
}
