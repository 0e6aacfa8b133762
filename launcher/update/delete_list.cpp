#include "launcher/update/delete_list.h"

#include <fcntl.h>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "launcher/log.h"
#include "system/below_root.h"
#include "system/path.h"
#include "system/regular_file.h"

namespace {

constexpr size_t kMaxEntryBytes = 255;

bool IsListSpace(int c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

enum class Read { Entry, Overlong, End, NulByte };

// The next entry of the list, at most kMaxEntryBytes of it kept. End at the end of the list and
// at a read error.
Read NextEntry(std::streambuf& in, std::string& entry) {
    using Traits = std::streambuf::traits_type;
    entry.clear();
    int c = in.sbumpc();
    while (c != Traits::eof() && IsListSpace(c))
        c = in.sbumpc();
    bool overlong = false;
    for (; c != Traits::eof() && !IsListSpace(c); c = in.sbumpc()) {
        if (c == 0)
            return Read::NulByte;
        if (entry.size() < kMaxEntryBytes)
            entry.push_back(static_cast<char>(c));
        else
            overlong = true;
    }
    if (entry.empty())
        return Read::End;
    return overlong ? Read::Overlong : Read::Entry;
}

// Deletes root/entry when it is a regular file. The directories on the way are opened below
// the root without following links, so neither a link nor a directory swapped for one midway
// can lead the deletion outside the program directory.
void DeleteEntry(int rootFd, const std::string& entry, const wxString& wideEntry) {
    const auto segments = platform::SplitRelativePath(entry);
    if (!segments) {
        LOG_ERROR(L": del.lst entry %s refused: it leaves the program directory", wideEntry);
        return;
    }
    if (segments->empty())
        return;
    platform::WalkStop stop = platform::WalkStop::None;
    const platform::UniqueFd dir = platform::OpenDirectoryBelow(
        rootFd, std::span(*segments).first(segments->size() - 1), false, &stop);
    if (stop == platform::WalkStop::Link)
        LOG_ERROR(L": del.lst entry %s refused: it passes through a link", wideEntry);
    if (!dir)
        return;
    const char* name = segments->back().c_str();
    struct stat info {};
    if (fstatat(dir.get(), name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode))
        unlinkat(dir.get(), name, 0);
}

} // namespace

void ApplyDeleteList(const wxString& listPath, const wxString& programDirectory) {
    const auto list = platform::ToPath(listPath.ToStdWstring());
    const auto root = platform::ToPath(programDirectory.ToStdWstring());
    if (!list || !root)
        return;
    // Read whole: a regular file only, so the memory is bounded by the list's real size.
    platform::FileBytes bytes = platform::OpenRegularForRead(*list);
    const platform::UniqueFd rootDir(open(root->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!bytes.ok() || !rootDir)
        return;
    std::stringbuf in(std::move(bytes.bytes), std::ios::in);
    std::string entry;
    for (Read read; (read = NextEntry(in, entry)) != Read::End;) {
        if (read == Read::NulByte) {
            LOG_ERROR(L": del.lst %s holds a NUL byte, it is not read further", listPath);
            return;
        }
        if (read == Read::Overlong) {
            LOG_ERROR(L": del.lst entry of more than %d bytes skipped",
                      static_cast<int>(kMaxEntryBytes));
            continue;
        }
        // Strict: an entry that is not UTF-8 names no installed file.
        const auto wide = platform::Utf8ToWide(entry);
        if (!wide)
            continue;
        DeleteEntry(rootDir.get(), entry, wxString(*wide));
    }
}
