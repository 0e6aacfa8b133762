#include "launcher/log.h"
#include "launcher/update/index_file.h"
#include "launcher/update/index_image.h"
#include "launcher/update/merge.h"
#include "launcher/update/merge_file.h"

namespace {

IndexEntry NotHeld(const IndexEntry& entry) {
    IndexEntry marked = entry;
    marked.offset = kBlockNotHeld;
    return marked;
}

// No installed index yet: the package's file becomes it, read as an installed index (20-byte
// entries), with every entry marked as not held. A file too short to be an index is refused
// before anything is copied.
bool InstallFromPackage(const wxString& source, const wxString& destination) {
    TrackedIndex package(source);
    if (!package.Load() || !CopyFileOver(source, destination))
        return false;
    MergeFile index;
    if (!index.Open(destination, true))
        return false;
    IndexImage image(package);
    for (uint32_t entry = 0; entry < image.LoadedCount(); ++entry)
        image.Set(entry, NotHeld(package.Entries()[entry].entry));
    return image.WriteTo(index);
}

bool MergeIndexInPlace(const wxString& source, const wxString& destination) {
    if (!IsRegularFile(destination))
        return InstallFromPackage(source, destination);
    if (!IsRegularFile(source))
        return false;
    PlainIndex package(source);
    TrackedIndex installed(destination);
    if (!package.Load() || !installed.Load())
        return false;
    MergeFile index;
    if (!index.Open(destination, true))
        return false;
    // Entries are patched in package order, so a slot named twice ends with the last one's
    // fields, as one write after another would leave it.
    IndexImage image(installed);
    for (const PatchIndexEntry& patch : package.Entries()) {
        if (patch.slot >= image.LoadedCount())
            image.Append(NotHeld(patch.entry));
        else
            image.Set(patch.slot, NotHeld(patch.entry));
    }
    return image.WriteTo(index);
}

} // namespace

// A refused or failed increment stops the install; the record says which index it was.
bool MergeDataFilesInPlace(const wxString& source, const wxString& destination) {
    const bool merged = MergeIndexInPlace(source, destination);
    if (!merged)
        LOG_ERROR(L"%s(%d): merging %s into %s failed: an index could not be read or written! ",
                  source, destination);
    return merged;
}
