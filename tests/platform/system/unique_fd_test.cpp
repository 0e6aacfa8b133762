// The descriptor handle closes exactly once, hands ownership over on a move, and the whole-copy
// helper and the capped read move exactly the bytes they should.
#include "system/file_io.h"
#include "system/unique_fd.h"
#include "tests/support/temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>

namespace {

using platform::UniqueFd;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

bool IsOpen(int fd) {
    return fcntl(fd, F_GETFD) != -1;
}

TEST(UniqueFd, ClosesOnceAndMovesOwnership) {
    TempDir dir;
    WriteFile(dir / "f", "x");
    int raw = -1;
    {
        UniqueFd first(open((dir / "f").c_str(), O_RDONLY | O_CLOEXEC));
        raw = first.get();
        ASSERT_TRUE(IsOpen(raw));
        UniqueFd second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), raw);
        UniqueFd third;
        third = std::move(second);
        EXPECT_EQ(third.get(), raw);
        EXPECT_TRUE(IsOpen(raw));
    }
    EXPECT_FALSE(IsOpen(raw));

    UniqueFd kept(open((dir / "f").c_str(), O_RDONLY | O_CLOEXEC));
    const int released = kept.release();
    EXPECT_FALSE(kept);
    EXPECT_TRUE(IsOpen(released));
    UniqueFd again(released);
    EXPECT_TRUE(again.Close());
    EXPECT_FALSE(IsOpen(released));
    EXPECT_FALSE(again.Close()); // nothing held any more
}

TEST(FileIo, CopyToEndMovesEveryByteAndReadToEndStopsJustPastItsLimit) {
    TempDir dir;
    std::string bytes(200 * 1024 + 3, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i % 253);
    WriteFile(dir / "in", bytes);
    const UniqueFd in(open((dir / "in").c_str(), O_RDONLY | O_CLOEXEC));
    const UniqueFd out(open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
    ASSERT_TRUE(platform::CopyToEnd(in.get(), out.get()));
    EXPECT_EQ(ReadFile(dir / "out"), bytes);

    ASSERT_EQ(lseek(in.get(), 0, SEEK_SET), 0);
    EXPECT_EQ(platform::ReadToEnd(in.get(), 10)->size(), 11u); // one past: the caller sees "more"
    ASSERT_EQ(lseek(in.get(), 0, SEEK_SET), 0);
    EXPECT_EQ(platform::ReadToEnd(in.get()), bytes);
    const UniqueFd zero(open("/dev/zero", O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(platform::ReadToEnd(zero.get(), 1000)->size(), 1001u); // bounded even endless
}

} // namespace
