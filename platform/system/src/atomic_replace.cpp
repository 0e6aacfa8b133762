#include "system/atomic_replace.h"

#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "system/file_io.h"

namespace platform {

namespace {

constexpr std::string_view kTempMark = ".tmp-";
constexpr size_t kRandomDigits = 16;

std::string RandomHex() {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    static constexpr char kDigits[] = "0123456789abcdef";
    uint64_t value = random();
    std::string text(kRandomDigits, '0');
    for (char& digit : text) {
        digit = kDigits[value & 0xF];
        value >>= 4;
    }
    return text;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

UniqueFd OpenParentDirectory(const std::filesystem::path& file) {
    const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : ".";
    return UniqueFd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

// The one commit sequence. A close can report a failed write on some file systems, so it is
// checked before the rename; a failed directory sync is not reported: the data is safe by then.
bool CommitInDirectory(UniqueFd& file, int dir, const char* from, const char* target) {
    const bool synced = file && fsync(file.get()) == 0;
    if (!file.Close() || !synced || renameat(dir, from, dir, target) != 0)
        return false;
    fsync(dir);
    return true;
}

} // namespace

std::string TemporarySiblingName(std::string_view targetName) {
    std::string name = ".";
    name.append(targetName).append(kTempMark).append(RandomHex());
    return name;
}

bool IsTemporarySiblingName(std::string_view name) {
    const size_t suffix = kTempMark.size() + kRandomDigits;
    if (name.size() < 2 + suffix || name[0] != '.')
        return false;
    const std::string_view tail = name.substr(name.size() - suffix);
    if (!tail.starts_with(kTempMark))
        return false;
    for (char c : tail.substr(kTempMark.size())) {
        if (!IsHexDigit(c))
            return false;
    }
    return true;
}

AtomicFileWriter::~AtomicFileWriter() {
    Discard();
}

void AtomicFileWriter::Discard() {
    file_.reset();
    if (dir_ && !tempName_.empty())
        unlinkat(dir_.get(), tempName_.c_str(), 0);
    tempName_.clear();
    dir_.reset();
}

bool AtomicFileWriter::Begin(const std::filesystem::path& target, std::optional<mode_t> mode) {
    Discard();
    targetName_ = target.filename().native();
    if (targetName_.empty() || targetName_ == "." || targetName_ == "..")
        return false;
    dir_ = OpenParentDirectory(target);
    if (!dir_)
        return false;
    for (int attempt = 0; attempt < 16 && !file_; ++attempt) {
        std::string name = TemporarySiblingName(targetName_);
        // O_EXCL and O_NOFOLLOW: never reuse or write through anything already there.
        file_.reset(openat(dir_.get(), name.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (file_)
            tempName_ = std::move(name);
        else if (errno != EEXIST)
            break;
    }
    if (!file_) {
        dir_.reset();
        return false;
    }
    if (!mode) {
        struct stat old {};
        if (fstatat(dir_.get(), targetName_.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(old.st_mode))
            mode = old.st_mode & 07777;
    }
    if (mode && fchmod(file_.get(), *mode) != 0) {
        Discard();
        return false;
    }
    return true;
}

bool AtomicFileWriter::Commit() {
    if (!CommitInDirectory(file_, dir_.get(), tempName_.c_str(), targetName_.c_str())) {
        Discard();
        return false;
    }
    tempName_.clear();
    dir_.reset();
    return true;
}

bool CommitFileInto(UniqueFd& file, const std::filesystem::path& from,
                    const std::filesystem::path& target) {
    const UniqueFd dir =
        from.parent_path() == target.parent_path() && from.has_filename() && target.has_filename()
            ? OpenParentDirectory(target)
            : UniqueFd();
    if (!dir) {
        file.reset();
        return false;
    }
    return CommitInDirectory(file, dir.get(), from.filename().c_str(), target.filename().c_str());
}

bool ReplaceFileAtomically(const std::filesystem::path& target, const std::string& bytes) {
    AtomicFileWriter writer;
    return writer.Begin(target) && WriteAll(writer.fd(), bytes.data(), bytes.size()) &&
           writer.Commit();
}

bool ReplaceFileFromDescriptor(const std::filesystem::path& target, int source,
                               std::optional<mode_t> mode) {
    AtomicFileWriter writer;
    return writer.Begin(target, mode) && CopyFileData(source, writer.fd()) && writer.Commit();
}

} // namespace platform
