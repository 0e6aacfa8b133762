#include "launcher/update/delete_list.h"

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "launcher/log.h"
#include "system/path.h"

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

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0)
            close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// The directory names and the file name of an entry; nothing when the entry is absolute (also
// with a drive letter, as lists made on Windows write it) or climbs with "..".
std::optional<std::vector<std::string>> SplitEntry(const std::string& entry) {
    const bool drive =
        entry.size() >= 2 && entry[1] == ':' &&
        ((entry[0] >= 'a' && entry[0] <= 'z') || (entry[0] >= 'A' && entry[0] <= 'Z'));
    if (entry.starts_with('/') || drive)
        return std::nullopt;
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= entry.size()) {
        const size_t end = std::min(entry.find('/', start), entry.size());
        const std::string segment = entry.substr(start, end - start);
        if (segment == "..")
            return std::nullopt;
        if (!segment.empty() && segment != ".")
            segments.push_back(segment);
        start = end + 1;
    }
    return segments;
}

// Deletes root/entry when it is a regular file. Every directory on the way is opened relative
// to the previous one without following links, so neither a link nor a directory swapped for
// one midway can lead the deletion outside the program directory.
void DeleteEntry(int rootFd, const std::string& entry, const wxString& wideEntry) {
    const auto segments = SplitEntry(entry);
    if (!segments) {
        LOG_ERROR(L"%s(%d): del.lst entry %s refused: it leaves the program directory", wideEntry);
        return;
    }
    if (segments->empty())
        return;
    Descriptor dir(dup(rootFd));
    for (size_t i = 0; i + 1 < segments->size() && dir.get() >= 0; ++i) {
        const char* name = (*segments)[i].c_str();
        const int next = openat(dir.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        struct stat info {};
        if (next < 0 && fstatat(dir.get(), name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(info.st_mode)) {
            LOG_ERROR(L"%s(%d): del.lst entry %s refused: it passes through a link", wideEntry);
        }
        dir.reset(next);
    }
    if (dir.get() < 0)
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
    std::ifstream in(*list, std::ios::binary);
    const Descriptor rootDir(open(root->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!in || rootDir.get() < 0)
        return;
    std::string entry;
    for (Read read; (read = NextEntry(*in.rdbuf(), entry)) != Read::End;) {
        if (read == Read::NulByte) {
            LOG_ERROR(L"%s(%d): del.lst %s holds a NUL byte, it is not read further", listPath);
            return;
        }
        if (read == Read::Overlong) {
            LOG_ERROR(L"%s(%d): del.lst entry of more than %d bytes skipped",
                      static_cast<int>(kMaxEntryBytes));
            continue;
        }
        // Strict: an entry that is not UTF-8 names no installed file.
        const auto wide = platform::Utf8ToWide(entry);
        if (!wide)
            continue;
        for (char& c : entry) {
            if (c == '\\')
                c = '/'; // never part of a multi-byte sequence, so bytes can be swapped
        }
        DeleteEntry(rootDir.get(), entry, wxString(*wide));
    }
}
