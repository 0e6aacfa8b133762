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

// Read back and digested at a time: the size of the download routine's writes.
constexpr size_t kPieceBytes = 512 << 10;

std::string HexOf(const unsigned char* bytes, size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0xF];
    }
    return hex;
}

bool Initialize(EVP_MD_CTX* context) {
    return context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
}

std::optional<StreamingSha256::Digest> Final(EVP_MD_CTX* context, std::uint64_t bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int digestSize = 0;
    if (EVP_DigestFinal_ex(context, digest.data(), &digestSize) != 1)
        return std::nullopt;
    return StreamingSha256::Digest{HexOf(digest.data(), digestSize), bytes};
}

} // namespace

StreamingSha256::StreamingSha256() : context_(EVP_MD_CTX_new()) {
    try {
        thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        // No digest without its thread: Finish says unknown and the caller reads the file.
    }
}

StreamingSha256::~StreamingSha256() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
    EVP_MD_CTX_free(context_);
}

// Under the lock.
void StreamingSha256::Restart() {
    ++generation_;
    fresh_ = true;
    written_ = 0;
    hashed_ = 0;
    broken_ = false;
}

// Under the lock: the writer just put bytes into the file, so it is there.
void StreamingSha256::OpenFile() {
    platform::OpenedFile opened = platform::OpenRegular(path_, O_RDONLY | O_NOFOLLOW);
    file_ = std::move(opened.fd);
    broken_ = broken_ || !file_;
}

void StreamingSha256::WaitUntilIdle(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return !reading_; });
}

void StreamingSha256::StartWithFile(const std::filesystem::path& path) {
    platform::OpenedFile opened = platform::OpenRegular(path, O_RDONLY | O_NOFOLLOW);
    {
        std::unique_lock lock(mutex_);
        WaitUntilIdle(lock); // the thread may be reading through the descriptor replaced here
        Restart();
        path_ = path;
        file_ = std::move(opened.fd);
        written_ = file_ ? opened.size : 0;
        broken_ = !file_ && opened.problem != platform::FileProblem::Missing;
    }
    changed_.notify_all();
}

void StreamingSha256::Add(std::uint64_t offset, const char*, std::size_t size) {
    {
        std::lock_guard lock(mutex_);
        // The file begins again in place (a whole answer to a range request).
        if (offset == 0 && size > 0)
            Restart();
        if (broken_ || offset != written_) {
            broken_ = true;
            return;
        }
        if (!file_)
            OpenFile();
        written_ += size;
    }
    changed_.notify_all();
}

std::optional<StreamingSha256::Digest> StreamingSha256::Finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] {
        return !reading_ && (broken_ || (!fresh_ && hashed_ == written_) || !thread_.joinable());
    });
    const bool known = !broken_ && !fresh_ && thread_.joinable();
    std::optional<Digest> digest = known ? Final(context_, hashed_) : std::nullopt;
    Restart();
    file_.reset();
    return digest;
}

// Runs on the hasher's thread until the object goes.
void StreamingSha256::Run() {
    std::vector<char> piece(kPieceBytes);
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] {
            return closing_ || fresh_ || (!broken_ && file_ && hashed_ < written_);
        });
        if (closing_)
            return;
        if (fresh_) {
            fresh_ = false;
            broken_ = broken_ || !Initialize(context_);
            changed_.notify_all();
            continue;
        }
        const std::uint64_t generation = generation_;
        const std::uint64_t from = hashed_;
        const size_t want =
            static_cast<size_t>(std::min<std::uint64_t>(piece.size(), written_ - from));
        const int fd = file_.get();
        reading_ = true;
        lock.unlock();
        const std::optional<size_t> read = platform::ReadAt(fd, piece.data(), want, from);
        const bool hashed =
            read && *read > 0 && EVP_DigestUpdate(context_, piece.data(), *read) == 1;
        lock.lock();
        reading_ = false;
        // Bytes of a file that began again meanwhile are dropped with the digest they went into.
        if (generation == generation_) {
            if (hashed)
                hashed_ += *read;
            else
                broken_ = true;
        }
        changed_.notify_all();
    }
}

std::optional<StreamingSha256::Digest> FileDigest(const std::filesystem::path& path) {
    const platform::OpenedFile file = platform::OpenRegular(path, O_RDONLY | O_NOFOLLOW);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    std::optional<StreamingSha256::Digest> digest;
    if (file.fd && Initialize(context)) {
        std::vector<char> piece(1 << 20);
        std::uint64_t done = 0;
        bool ok = true;
        while (ok && done < file.size) {
            const size_t want =
                static_cast<size_t>(std::min<std::uint64_t>(piece.size(), file.size - done));
            const std::optional<size_t> read =
                platform::ReadAt(file.fd.get(), piece.data(), want, done);
            ok = read && *read > 0 && EVP_DigestUpdate(context, piece.data(), *read) == 1;
            if (ok)
                done += *read;
        }
        if (ok)
            digest = Final(context, done);
    }
    EVP_MD_CTX_free(context);
    return digest;
}

} // namespace liveupdate
