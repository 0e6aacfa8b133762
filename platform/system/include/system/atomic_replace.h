#pragma once
// Crash-safe replacement of a file the launcher owns or installs: the new content goes to a
// hidden sibling, is synced, renamed over the target and the directory is synced. A crash
// leaves the old file or the new one, never a mix; a link in the target's place is replaced by
// the file, never written through.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

#include "system/unique_fd.h"

namespace platform {

// The name of a temporary sibling of targetName: ".<targetName>.tmp-<16 hex digits>", random.
std::string TemporarySiblingName(std::string_view targetName);
// True for names TemporarySiblingName makes (and only those), so stale ones can be cleaned up.
bool IsTemporarySiblingName(std::string_view name);

// Writes one replacement. Begin, write through fd(), then Commit; dropping the writer (or a
// failed Commit) removes the temporary file and leaves the target as it was.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary sibling of target. Its permissions are mode when given, else those
    // of the regular file now at target (a link's target is never looked at), else 0666 less
    // the umask.
    bool Begin(const std::filesystem::path& target, std::optional<mode_t> mode = std::nullopt);
    int fd() const { return file_.get(); }
    // Syncs the data, renames it over the target and syncs the directory. True when the
    // target now holds what was written (a failed directory sync is not reported: the data is
    // safe by then).
    bool Commit();
    void Discard();

private:
    UniqueFd dir_;
    UniqueFd file_;
    std::string tempName_;
    std::string targetName_;
};

// Makes what was written through file durable under target's name, for a file that cannot go
// through AtomicFileWriter (one kept between attempts): syncs and closes file, renames from over
// target and syncs the directory. from must be a sibling of target. file is closed either way;
// false (a failed sync, close or rename) leaves from where it was and target as it was.
bool CommitFileInto(UniqueFd& file, const std::filesystem::path& from,
                    const std::filesystem::path& target);

// Replaces target with bytes. False when anything failed; the target is then unchanged.
bool ReplaceFileAtomically(const std::filesystem::path& target, const std::string& bytes);
// Replaces target with a copy of the file source (CopyFileData: the whole file, its holes and
// its modification time kept), streamed for large files. mode as for AtomicFileWriter::Begin.
bool ReplaceFileFromDescriptor(const std::filesystem::path& target, int source,
                               std::optional<mode_t> mode = std::nullopt);

} // namespace platform
