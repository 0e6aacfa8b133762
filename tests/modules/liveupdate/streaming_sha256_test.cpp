// The digest of a download's file, taken behind the writer while the pieces arrive.
#include "streaming_sha256.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/modules/liveupdate/release_signing.h"
#include "tests/support/noise_bytes.h"
#include "tests/support/temp_dir.h"

namespace testing_support {
namespace {

using liveupdate::StreamingSha256;

// What the download routine does: each piece goes into the file at its offset (offset 0
// empties the file first), and only then is the hasher told.
class PartWriter {
public:
    PartWriter(const std::filesystem::path& path, StreamingSha256& hasher)
        : path_(path), hasher_(hasher) {}
    void Write(std::uint64_t offset, const std::string& piece) {
        const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | (offset == 0 ? O_TRUNC : 0), 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(pwrite(fd, piece.data(), piece.size(), static_cast<off_t>(offset)),
                  static_cast<ssize_t>(piece.size()));
        close(fd);
        hasher_.Add(offset, piece.data(), piece.size());
    }

private:
    std::filesystem::path path_;
    StreamingSha256& hasher_;
};

TEST(StreamingSha256Test, DigestsAKeptPartAndThePiecesThatContinueIt) {
    const std::string bytes = NoiseBytes(3 * 1024 * 1024 + 17, 3);
    TempDir dir;
    WriteFile(dir / "a.part", bytes.substr(0, 1500000));
    StreamingSha256 hasher;
    hasher.StartWithFile(dir / "a.part");
    PartWriter writer(dir / "a.part", hasher);
    for (size_t offset = 1500000; offset < bytes.size(); offset += 65536)
        writer.Write(offset, bytes.substr(offset, 65536));
    // The download routine names the file anew once it is whole: the digest follows the file.
    std::filesystem::rename(dir / "a.part", dir / "a.upd");
    const std::optional<StreamingSha256::Digest> digest = hasher.Finish();
    ASSERT_TRUE(digest);
    EXPECT_EQ(digest->sha256, Sha256Hex(bytes));
    EXPECT_EQ(digest->bytes, bytes.size());
    EXPECT_EQ(liveupdate::FileDigest(dir / "a.upd")->sha256, Sha256Hex(bytes));
    EXPECT_FALSE(liveupdate::FileDigest(dir / "missing.part"));

    // Spent by Finish: a missing part starts an empty file that the first piece makes.
    hasher.StartWithFile(dir / "b.part");
    PartWriter(dir / "b.part", hasher).Write(0, "abc");
    EXPECT_EQ(hasher.Finish()->sha256, Sha256Hex("abc"));
    hasher.StartWithFile(dir / "c.part");
    EXPECT_EQ(hasher.Finish()->sha256, Sha256Hex(""));
}

TEST(StreamingSha256Test, PiecesThatDoNotFollowEachOtherLeaveTheDigestUnknown) {
    const struct {
        const char* what;
        std::vector<std::pair<std::uint64_t, std::string>> pieces;
    } cases[] = {
        {"a gap", {{0, "abc"}, {4, "def"}}},
        {"an overlap", {{0, "abc"}, {2, "cdef"}}},
        {"the same piece twice", {{0, "abc"}, {3, "def"}, {3, "def"}}},
        {"a first piece past the start", {{1, "bc"}}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StreamingSha256 hasher;
        hasher.StartWithFile(dir / "x.part");
        PartWriter writer(dir / "x.part", hasher);
        for (const auto& [offset, piece] : c.pieces)
            writer.Write(offset, piece);
        EXPECT_FALSE(hasher.Finish());
        std::filesystem::remove(dir / "x.part");
    }
    // Offset 0 begins the file again (a whole answer to a range request), healing a gap.
    StreamingSha256 hasher;
    hasher.StartWithFile(dir / "y.part");
    PartWriter writer(dir / "y.part", hasher);
    writer.Write(0, "abc");
    writer.Write(7, "xyz");
    writer.Write(0, "abcdef");
    writer.Write(6, "g");
    const std::optional<StreamingSha256::Digest> digest = hasher.Finish();
    ASSERT_TRUE(digest);
    EXPECT_EQ(digest->sha256, Sha256Hex("abcdefg"));
    EXPECT_EQ(digest->bytes, 7u);
}

} // namespace
} // namespace testing_support
