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
    const std::filesystem::path dir = target.has_parent_path() ? target.parent_path() : ".";
    dir_.reset(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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
    if (!file_ || fsync(file_.get()) != 0 || !file_.Close() ||
        renameat(dir_.get(), tempName_.c_str(), dir_.get(), targetName_.c_str()) != 0) {
        Discard();
        return false;
    }
    tempName_.clear();
    fsync(dir_.get());
    dir_.reset();
    return true;
}

bool ReplaceFileAtomically(const std::filesystem::path& target, const std::string& bytes) {
    AtomicFileWriter writer;
    return writer.Begin(target) && WriteAll(writer.fd(), bytes.data(), bytes.size()) &&
           writer.Commit();
}

bool ReplaceFileFromDescriptor(const std::filesystem::path& target, int source,
                               std::optional<mode_t> mode) {
    AtomicFileWriter writer;
    return writer.Begin(target, mode) && CopyToEnd(source, writer.fd()) && writer.Commit();
}

} // namespace platform
