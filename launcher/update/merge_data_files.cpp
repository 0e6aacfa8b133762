#include <optional>

#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/update/index_file.h"
#include "launcher/update/merge.h"
#include "launcher/update/merge_file.h"

namespace {

// The path cut before its last ".", or nothing when there is none.
std::optional<wxString> BaseName(const wxString& path) {
    const size_t dot = path.rfind('.');
    if (dot == wxString::npos)
        return std::nullopt;
    return path.substr(0, dot);
}

} // namespace

bool MergeLoginDataFiles(const wxString& source, const wxString& destination) {
    const auto sourceBase = BaseName(source);
    const auto destinationBase = BaseName(destination);
    if (!sourceBase || !destinationBase)
        return false;

    if (!IsRegularFile(*destinationBase)) {
        // Nothing installed yet: the package's pair becomes the installation. The index goes
        // first and the data file last, so a failed copy leaves no data file and the next
        // package repeats both copies instead of meeting a data file without its index.
        if (IsRegularFile(*sourceBase) && IsRegularFile(source) &&
            CopyFileOver(source, destination) && CopyFileOver(*sourceBase, *destinationBase))
            return true;
        LOG_ERROR(":  in pathList.xml %s may be config error! or %s file not exsited ", *sourceBase,
                  source);
        return false;
    }
    if (!IsRegularFile(source)) {
        LOG_ERROR(":   %s file not exsited ", source);
        return false;
    }
    if (!IsRegularFile(destination)) {
        LOG_ERROR(": %s file not exsited ", destination);
        return false;
    }

    PlainIndex package(*sourceBase);
    TrackedIndex installed(*destinationBase);
    if (!LoadIndexPair(&package, &installed)) {
        LOG_ERROR(": %s file or %s file load error ,may be the file format wrong! ", destination,
                  source);
        return false;
    }
    if (!MergeIndexedData(package, installed)) {
        LOG_ERROR(": merging %s into %s failed: an entry lies outside its data file or a "
                  "file could not be read or written! ",
                  source, destination);
        return false;
    }
    return true;
}

// Runs on the thread that delivers the live-update module's process callback (install walk).
bool LauncherFrameWnd::MergeDataFiles(const wxString& source, const wxString& destination) {
    return MergeLoginDataFiles(source, destination);
}
