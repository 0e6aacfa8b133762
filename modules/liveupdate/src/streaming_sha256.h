#pragma once
// The SHA-256 of a file while it is written, taken from the very pieces written, so checking a
// package needs no second read of it. The digest runs inline: with the processor's SHA
// instructions it keeps up with loopback, and handing pieces to a thread cost a copy of each.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <openssl/types.h>

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

    // Starts over with the bytes of the file at path (a download's kept part; none when absent).
    void StartWithFile(const std::filesystem::path& path);
    // Bytes written at offset: 0 starts the file again; anything but the next offset makes the
    // digest unknown.
    void Add(std::uint64_t offset, const char* data, std::size_t size);
    // nullopt when the digest is unknown (pieces out of order, a part that could not be read, or
    // a failure of the hash itself). Starts over afterwards.
    std::optional<Digest> Finish();

private:
    void Restart();

    EVP_MD_CTX* context_ = nullptr;
    std::uint64_t next_ = 0; // offset the next piece must have
    bool broken_ = false;
};

// The digest of the file at path (a regular file, not followed through a link); nullopt when it
// cannot be read.
std::optional<StreamingSha256::Digest> FileDigest(const std::filesystem::path& path);

} // namespace liveupdate
