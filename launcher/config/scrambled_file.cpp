#include "launcher/config/scrambled_file.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "system/file_io.h"
#include "system/path.h"
#include "system/program_directory.h"

namespace {

constexpr size_t kKeyBytes = 8;
constexpr size_t kBlockBytes = 64 * 1024;

std::optional<std::filesystem::path> ProgramFilePath(const wchar_t* name) {
    if (name == nullptr)
        return std::nullopt;
    return platform::ToPath(platform::ProgramDirectory() + name);
}

// Reads what is there, retrying interrupted calls; -1 on error, 0 at the end.
ssize_t ReadBlock(int fd, uint8_t* buffer, size_t size) {
    ssize_t n = 0;
    do {
        n = read(fd, buffer, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

// Opens the scrambled file. Read and write access are both asked for, as the format's readers
// always did; a file without any write permission counts as read-only even for a user whose
// privileges would let the open succeed.
int OpenSource(const std::filesystem::path& path) {
    const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Decodes everything from in to out; false when a read or write failed.
bool DecodeStream(int in, int out, const std::array<uint8_t, kKeyBytes>& key, size_t index) {
    std::vector<uint8_t> input(kBlockBytes);
    std::vector<uint8_t> output(2 * kBlockBytes);
    for (;;) {
        const ssize_t n = ReadBlock(in, input.data(), input.size());
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        size_t used = 0;
        for (ssize_t i = 0; i < n; ++i) {
            const auto plain = static_cast<uint8_t>(input[static_cast<size_t>(i)] - key[index]);
            index = (index + 1) % kKeyBytes;
            // The copy is text: readers of the copies expect CR LF line ends.
            if (plain == '\n')
                output[used++] = '\r';
            output[used++] = plain;
        }
        if (!platform::WriteAll(out, output.data(), used))
            return false;
    }
}

} // namespace

bool DecodeScrambledFile(const wchar_t* source, const wchar_t* key, const wchar_t* destination) {
    const auto sourcePath = ProgramFilePath(source);
    const auto destinationPath = ProgramFilePath(destination);
    const auto keyText = key ? platform::WideToUtf8(key) : std::nullopt;
    if (!sourcePath || !destinationPath || !keyText)
        return false;

    // Only the first eight key bytes take part; a shorter key is padded with zero bytes, and
    // decoding starts at its end, as the format was always produced.
    std::array<uint8_t, kKeyBytes> keyBytes{};
    for (size_t i = 0; i < kKeyBytes && i < keyText->size(); ++i)
        keyBytes[i] = static_cast<uint8_t>((*keyText)[i]);
    const size_t start = keyText->size() >= kKeyBytes ? 0 : keyText->size();

    const int in = OpenSource(*sourcePath);
    if (in < 0)
        return false;
    const int out =
        open(destinationPath->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0666);
    if (out < 0) {
        close(in);
        return false;
    }
    bool ok = DecodeStream(in, out, keyBytes, start);
    close(in);
    ok = close(out) == 0 && ok;
    if (!ok)
        unlink(destinationPath->c_str());
    return ok;
}
