#pragma once
// The SHA-256 of a file while it is written, on a thread of its own, so checking a package
// overlaps its download instead of reading it again afterwards.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <openssl/evp.h>

namespace liveupdate {

class StreamingSha256 {
public:
    struct Digest {
        std::string sha256; // lowercase hex
        std::uint64_t bytes = 0;
    };

    StreamingSha256();
    ~StreamingSha256();
    StreamingSha256(const StreamingSha256&) = delete;
    StreamingSha256& operator=(const StreamingSha256&) = delete;

    // The following run on the one thread that writes the file (the update worker).
    // Starts over with the bytes of the file at path (a download's kept part; none when absent).
    void StartWithFile(const std::filesystem::path& path);
    // Bytes written at offset: 0 starts the file again; anything but the next offset makes the
    // digest unknown.
    void Add(std::uint64_t offset, const char* data, std::size_t size);
    // Waits for the hashing thread; nullopt when the digest is unknown (pieces out of order, a
    // part that could not be read, or a failure of the hash itself).
    std::optional<Digest> Finish();

private:
    using Block = std::vector<char>;
    struct Item {
        bool restart = false;
        Block bytes;
    };

    void Push(Item item);
    Block SpareBlock();
    void Flush();
    void Restart();
    void Hash(); // the hashing thread's loop
    void Take(Item& item);

    std::uint64_t next_ = 0; // offset the next piece must have
    bool broken_ = false;
    Block pending_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> queue_;
    std::vector<Block> spare_; // hashed blocks, reused so their pages are not faulted in again
    bool hashing_ = false;     // the hashing thread holds an item taken from the queue
    bool closing_ = false;
    // Touched by the hashing thread only, or by Finish once that thread is idle.
    EVP_MD_CTX* context_ = nullptr;
    std::uint64_t hashed_ = 0;
    bool failed_ = false;
    std::thread thread_;
};

} // namespace liveupdate
