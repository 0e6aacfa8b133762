// Opening files from outside: only regular files, never blocking on a FIFO, never growing with
// a device, capped where the caller says; writing through a link is never done.
#include "system/regular_file.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unprivileged.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using platform::FileProblem;
using platform::OpenRegular;
using platform::OpenRegularForRead;
using platform::OpenRegularForUpdate;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

// A directory holding a file of every kind an outside file can turn out to be.
class Kinds : public ::testing::Test {
protected:
    void SetUp() override {
        WriteFile(dir / "plain", "plain bytes");
        fs::create_symlink(dir / "plain", dir / "link-to-plain");
        fs::create_symlink(dir / "nowhere", dir / "dangling");
        fs::create_symlink("/dev/zero", dir / "zero");
        fs::create_directory(dir / "directory");
        ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    }
    TempDir dir;
};

TEST_F(Kinds, ReadingGivesRegularFilesOnlyAndNeverBlocks) {
    const struct {
        const char* name;
        FileProblem problem;
        std::string bytes;
    } cases[] = {
        {"plain", FileProblem::None, "plain bytes"},
        {"link-to-plain", FileProblem::None, "plain bytes"}, // reading follows links
        {"missing", FileProblem::Missing, ""},
        {"dangling", FileProblem::Missing, ""},
        {"zero", FileProblem::NotRegular, ""}, // a device would never end
        {"directory", FileProblem::NotRegular, ""},
        {"fifo", FileProblem::NotRegular, ""}, // opening must not wait for a writer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const platform::FileBytes read = OpenRegularForRead(dir / c.name);
        EXPECT_EQ(read.problem, c.problem);
        EXPECT_EQ(read.bytes, c.bytes);
    }
    EXPECT_EQ(OpenRegularForRead("").problem, FileProblem::Missing);
}

TEST_F(Kinds, OpeningForWritingTakesRegularFilesOnlyAndCreatesNothingThroughALink) {
    platform::OpenedFile update = OpenRegularForUpdate(dir / "plain");
    ASSERT_TRUE(update.fd);
    EXPECT_EQ(update.size, 11u);
    EXPECT_EQ(fcntl(update.fd.get(), F_GETFL) & O_NONBLOCK, 0); // later reads and writes block
    EXPECT_NE(fcntl(update.fd.get(), F_GETFD) & FD_CLOEXEC, 0);

    constexpr int kAppend = O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW;
    const mode_t oldMask = umask(022);
    platform::OpenedFile made = OpenRegular(dir / "new.log", kAppend, 0640);
    umask(oldMask);
    ASSERT_TRUE(made.fd);
    EXPECT_EQ(made.size, 0u);
    struct stat info {};
    ASSERT_EQ(fstat(made.fd.get(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    platform::OpenedFile existing = OpenRegular(dir / "plain", kAppend, 0640);
    ASSERT_TRUE(existing.fd);
    EXPECT_EQ(existing.size, 11u);
    ASSERT_EQ(write(existing.fd.get(), "+", 1), 1);

    for (const char* name : {"link-to-plain", "dangling", "zero", "fifo", "directory"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(OpenRegularForUpdate(dir / name).problem, FileProblem::NotRegular);
        const platform::OpenedFile refused = OpenRegular(dir / name, kAppend);
        EXPECT_FALSE(refused.fd);
        EXPECT_EQ(refused.problem, FileProblem::NotRegular);
    }
    EXPECT_FALSE(fs::exists(dir / "nowhere"));
    EXPECT_EQ(ReadFile(dir / "plain"), "plain bytes+");
}

TEST(OpenRegularForRead, TheCapIsInclusiveAndAPermissionErrorIsAFailure) {
    TempDir dir;
    WriteFile(dir / "at-cap", std::string(100, 'a'));
    WriteFile(dir / "over-cap", std::string(101, 'b'));
    WriteFile(dir / "empty", "");
    EXPECT_EQ(OpenRegularForRead(dir / "at-cap", 100).bytes, std::string(100, 'a'));
    EXPECT_EQ(OpenRegularForRead(dir / "over-cap", 100).problem, FileProblem::TooLarge);
    EXPECT_EQ(OpenRegularForRead(dir / "over-cap", 100).bytes, "");
    const platform::FileBytes empty = OpenRegularForRead(dir / "empty", 0);
    EXPECT_TRUE(empty.ok());
    EXPECT_EQ(empty.bytes, "");
    fs::permissions(dir / "at-cap", fs::perms::none);
    EXPECT_TRUE(testing_support::AsUnprivilegedUser(dir.path(), [&] {
        return OpenRegularForRead(dir / "at-cap").problem == FileProblem::Failed &&
               OpenRegularForRead(dir / "over-cap").ok();
    }));
}

TEST_F(Kinds, CreatingReplacesALinkAndNeverWritesWhereItPoints) {
    WriteFile(dir / "sentinel", "must stay");
    fs::create_symlink(dir / "sentinel", dir / "log-link");
    fs::create_symlink(dir / "outside-new", dir / "log-dangling");
    for (const char* name : {"log-link", "log-dangling", "plain", "fresh"}) {
        SCOPED_TRACE(name);
        platform::UniqueFd fd = platform::CreateTruncatedReplacingLink(dir / name, 0644);
        ASSERT_TRUE(fd);
        ASSERT_EQ(write(fd.get(), "new", 3), 3);
        fd.reset();
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / name)));
        EXPECT_EQ(ReadFile(dir / name), "new"); // an existing file is truncated first
    }
    EXPECT_EQ(ReadFile(dir / "sentinel"), "must stay");
    EXPECT_FALSE(fs::exists(dir / "outside-new"));
    for (const char* name : {"fifo", "directory"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(platform::CreateTruncatedReplacingLink(dir / name, 0644));
    }
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
}

} // namespace
