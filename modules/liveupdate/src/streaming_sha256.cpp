#include "streaming_sha256.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <system_error>

#include "system/file_io.h"
#include "system/regular_file.h"

namespace liveupdate {

namespace {

// Pieces are gathered into blocks of this size; at most kMaxQueued blocks wait for the hashing
// thread, so a fast download waits for a slow hash instead of piling up memory.
constexpr size_t kBlockBytes = 1 << 20;
constexpr size_t kMaxQueued = 8;

std::string HexOf(const unsigned char* bytes, size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0xF];
    }
    return hex;
}

EVP_MD_CTX* NewSha256Context() {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(context);
        return nullptr;
    }
    return context;
}

} // namespace

StreamingSha256::StreamingSha256() : context_(NewSha256Context()), failed_(context_ == nullptr) {
    try {
        thread_ = std::thread([this] { Hash(); });
    } catch (const std::system_error&) {
        failed_ = true; // no digest without its thread: Finish says unknown
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

void StreamingSha256::Push(Item item) {
    if (!thread_.joinable())
        return;
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < kMaxQueued; });
    queue_.push_back(std::move(item));
    lock.unlock();
    changed_.notify_all();
}

// A block for the next pieces: a hashed one when there is one.
StreamingSha256::Block StreamingSha256::SpareBlock() {
    Block block;
    {
        std::lock_guard lock(mutex_);
        if (!spare_.empty()) {
            block = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    block.clear();
    block.reserve(kBlockBytes);
    return block;
}

void StreamingSha256::Flush() {
    if (pending_.empty())
        return;
    Push(Item{false, std::move(pending_)});
    pending_ = Block();
}

void StreamingSha256::Restart() {
    pending_.clear();
    next_ = 0;
    broken_ = false;
    Push(Item{true, {}});
}

void StreamingSha256::StartWithFile(const std::filesystem::path& path) {
    Restart();
    const platform::OpenedFile file = platform::OpenRegular(path, O_RDONLY | O_NOFOLLOW);
    if (!file.fd) {
        broken_ = file.problem != platform::FileProblem::Missing;
        return;
    }
    Block chunk(kBlockBytes);
    while (next_ < file.size) {
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
    next_ += size;
    while (size > 0) {
        if (pending_.capacity() < kBlockBytes)
            pending_ = SpareBlock();
        const size_t room = kBlockBytes - pending_.size();
        const size_t taken = std::min(room, size);
        pending_.insert(pending_.end(), data, data + taken);
        data += taken;
        size -= taken;
        if (pending_.size() == kBlockBytes)
            Flush();
    }
}

std::optional<StreamingSha256::Digest> StreamingSha256::Finish() {
    Flush();
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_.empty() && !hashing_; });
    if (broken_ || failed_)
        return std::nullopt;
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int digestSize = 0;
    if (EVP_DigestFinal_ex(context_, digest.data(), &digestSize) != 1)
        return std::nullopt;
    // The context is spent: what follows starts from an empty file.
    failed_ = EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1;
    const Digest result{HexOf(digest.data(), digestSize), hashed_};
    hashed_ = 0;
    return result;
}

// The hashing thread's: one item of the queue into the digest.
void StreamingSha256::Take(Item& item) {
    if (item.restart) {
        hashed_ = 0;
        failed_ = context_ == nullptr || EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1;
        return;
    }
    if (!failed_)
        failed_ = EVP_DigestUpdate(context_, item.bytes.data(), item.bytes.size()) != 1;
    hashed_ += item.bytes.size();
}

// Runs on the hashing thread until the object goes.
void StreamingSha256::Hash() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return closing_ || !queue_.empty(); });
        if (queue_.empty())
            return;
        Item item = std::move(queue_.front());
        queue_.pop_front();
        hashing_ = true;
        lock.unlock();
        changed_.notify_all();
        Take(item);
        lock.lock();
        if (item.bytes.capacity() >= kBlockBytes)
            spare_.push_back(std::move(item.bytes));
        hashing_ = false;
        changed_.notify_all();
    }
}

} // namespace liveupdate
