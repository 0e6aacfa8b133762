#pragma once
// The SHA-256 of a download's file while it is written, so checking a package overlaps its
// download instead of reading it all again afterwards. The writer only says how far the file
// is written; a thread of the hasher's own reads the new bytes back from the page cache behind
// it and digests them, so the receiving thread neither hashes nor copies anything.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <openssl/types.h>

#include "system/unique_fd.h"

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
    // Starts over with the file at path (a regular file, not followed through a link): the bytes
    // it holds now (a download's kept part; none when absent) and those Add reports later.
    void StartWithFile(const std::filesystem::path& path);
    // size bytes are in the file at offset: 0 starts the file again; anything but the next
    // offset makes the digest unknown. Called after the bytes are written, while the file still
    // has its name.
    void Add(std::uint64_t offset, const char* data, std::size_t size);
    // Waits for the reading thread; nullopt when the digest is unknown (pieces out of order, a
    // file that could not be read, or a failure of the hash itself). Starts over afterwards.
    std::optional<Digest> Finish();

private:
    void Restart();
    void OpenFile();
    void WaitUntilIdle(std::unique_lock<std::mutex>& lock);
    void Run(); // the reading thread's loop

    std::filesystem::path path_;

    std::mutex mutex_;
    std::condition_variable changed_;
    platform::UniqueFd file_;
    std::uint64_t written_ = 0; // bytes of the file the writer vouched for
    std::uint64_t hashed_ = 0;  // of those, the ones in the digest
    std::uint64_t generation_ = 0;
    bool fresh_ = true;    // the context must start over before the next bytes
    bool broken_ = false;  // the digest is unknown until the next start
    bool reading_ = false; // the thread holds a piece outside the lock
    bool closing_ = false;
    EVP_MD_CTX* context_ = nullptr; // the thread's while it reads; else under the lock
    std::thread thread_;
};

// The digest of the whole file at path (a regular file, not followed through a link), read on
// the calling thread; nullopt when it is missing or cannot be read.
std::optional<StreamingSha256::Digest> FileDigest(const std::filesystem::path& path);

} // namespace liveupdate
