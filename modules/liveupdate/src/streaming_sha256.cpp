#include "streaming_sha256.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <system_error>
#include <vector>

#include <openssl/evp.h>

#include "system/file_io.h"
#include "system/regular_file.h"

namespace liveupdate {

namespace {

constexpr size_t kReadBytes = 1 << 20;

std::string HexOf(const unsigned char* bytes, size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0xF];
    }
    return hex;
}

} // namespace

StreamingSha256::StreamingSha256() : context_(EVP_MD_CTX_new()) {
    Restart();
}

StreamingSha256::~StreamingSha256() {
    EVP_MD_CTX_free(context_);
}

void StreamingSha256::Restart() {
    next_ = 0;
    broken_ = context_ == nullptr || EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1;
}

void StreamingSha256::StartWithFile(const std::filesystem::path& path) {
    Restart();
    const platform::OpenedFile file = platform::OpenRegular(path, O_RDONLY | O_NOFOLLOW);
    if (!file.fd) {
        broken_ = broken_ || file.problem != platform::FileProblem::Missing;
        return;
    }
    std::vector<char> chunk(kReadBytes);
    while (!broken_ && next_ < file.size) {
        const size_t want =
            static_cast<size_t>(std::min<std::uint64_t>(chunk.size(), file.size - next_));
        const std::optional<size_t> read =
            platform::ReadAt(file.fd.get(), chunk.data(), want, next_);
        if (!read || *read == 0) {
            broken_ = true;
            return;
        }
        Add(next_, chunk.data(), *read);
    }
}

void StreamingSha256::Add(std::uint64_t offset, const char* data, std::size_t size) {
    if (offset == 0 && size > 0)
        Restart();
    if (broken_ || offset != next_) {
        broken_ = true;
        return;
    }
    broken_ = EVP_DigestUpdate(context_, data, size) != 1;
    next_ += size;
}

std::optional<StreamingSha256::Digest> StreamingSha256::Finish() {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int digestSize = 0;
    const bool known = !broken_ && EVP_DigestFinal_ex(context_, digest.data(), &digestSize) == 1;
    const std::uint64_t bytes = next_;
    Restart(); // the context is spent: what follows starts from an empty file
    if (!known)
        return std::nullopt;
    return Digest{HexOf(digest.data(), digestSize), bytes};
}

std::optional<StreamingSha256::Digest> FileDigest(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error)))
        return std::nullopt;
    StreamingSha256 hasher;
    hasher.StartWithFile(path);
    return hasher.Finish();
}

} // namespace liveupdate
