// The digest taken from the pieces of a download as they are written.
#include "streaming_sha256.h"

#include <gtest/gtest.h>

#include "tests/modules/liveupdate/release_signing.h"
#include "tests/support/noise_bytes.h"
#include "tests/support/temp_dir.h"

namespace testing_support {
namespace {

using liveupdate::StreamingSha256;

TEST(StreamingSha256Test, DigestsAKeptPartAndThePiecesThatContinueIt) {
    const std::string bytes = NoiseBytes(3 * 1024 * 1024 + 17, 3);
    TempDir dir;
    WriteFile(dir / "a.part", bytes.substr(0, 1500000));
    StreamingSha256 hasher;
    hasher.StartWithFile(dir / "a.part");
    for (size_t offset = 1500000; offset < bytes.size(); offset += 65536) {
        const size_t size = std::min<size_t>(65536, bytes.size() - offset);
        hasher.Add(offset, bytes.data() + offset, size);
    }
    const std::optional<StreamingSha256::Digest> digest = hasher.Finish();
    ASSERT_TRUE(digest);
    EXPECT_EQ(digest->sha256, Sha256Hex(bytes));
    EXPECT_EQ(digest->bytes, bytes.size());

    // Spent by Finish: what follows is a file of its own; a missing part is an empty start.
    hasher.StartWithFile(dir / "missing.part");
    hasher.Add(0, "abc", 3);
    EXPECT_EQ(hasher.Finish()->sha256, Sha256Hex("abc"));
    EXPECT_EQ(liveupdate::FileDigest(dir / "a.part")->sha256, Sha256Hex(bytes.substr(0, 1500000)));
    EXPECT_FALSE(liveupdate::FileDigest(dir / "missing.part"));
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
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StreamingSha256 hasher;
        for (const auto& [offset, piece] : c.pieces)
            hasher.Add(offset, piece.data(), piece.size());
        EXPECT_FALSE(hasher.Finish());
    }
    // Offset 0 begins the file again (a whole answer to a range request), healing a gap.
    StreamingSha256 hasher;
    hasher.Add(0, "abc", 3);
    hasher.Add(7, "xyz", 3);
    hasher.Add(0, "abcdef", 6);
    hasher.Add(6, "g", 1);
    const std::optional<StreamingSha256::Digest> digest = hasher.Finish();
    ASSERT_TRUE(digest);
    EXPECT_EQ(digest->sha256, Sha256Hex("abcdefg"));
    EXPECT_EQ(digest->bytes, 7u);
}

TEST(StreamingSha256Test, APartThatIsNoRegularFileLeavesTheDigestUnknown) {
    TempDir dir;
    std::filesystem::create_directory(dir / "dir.part");
    WriteFile(dir / "target", "abc");
    std::filesystem::create_symlink(dir / "target", dir / "link.part");
    for (const char* name : {"dir.part", "link.part"}) {
        SCOPED_TRACE(name);
        StreamingSha256 hasher;
        hasher.StartWithFile(dir / name);
        hasher.Add(3, "def", 3);
        EXPECT_FALSE(hasher.Finish());
    }
}

} // namespace
} // namespace testing_support
