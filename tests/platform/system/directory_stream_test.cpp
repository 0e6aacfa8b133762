// Listing a directory: every entry once, "." and ".." never, the descriptor owned to the end.
#include "system/directory_stream.h"
#include "tests/support/temp_dir.h"

#include <algorithm>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using platform::DirectoryStream;
using platform::UniqueFd;
using testing_support::TempDir;
using testing_support::WriteFile;

UniqueFd OpenDirectory(const std::filesystem::path& path) {
    return UniqueFd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

TEST(DirectoryStream, ListsEachEntryOnceWithoutTheDotEntriesAndClosesItsDescriptor) {
    TempDir dir;
    WriteFile(dir.path() / "a.txt", "a");
    WriteFile(dir.path() / "..b", "b");
    ASSERT_EQ(mkdir((dir.path() / "sub").c_str(), 0700), 0);
    UniqueFd fd = OpenDirectory(dir.path());
    ASSERT_TRUE(fd);
    const int raw = fd.get();
    std::vector<std::string> names;
    {
        DirectoryStream stream(std::move(fd));
        ASSERT_TRUE(stream.ok());
        EXPECT_EQ(stream.fd(), raw);
        while (const dirent* entry = stream.Next())
            names.emplace_back(entry->d_name);
        EXPECT_FALSE(stream.failed());
        EXPECT_EQ(stream.Next(), nullptr);
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"..b", "a.txt", "sub"}));
    // The stream took the descriptor over and closed it.
    EXPECT_EQ(fcntl(raw, F_GETFD), -1);
}

TEST(DirectoryStream, AnEmptyDirectoryOrNoDescriptorListsNothing) {
    TempDir dir;
    DirectoryStream empty(OpenDirectory(dir.path()));
    ASSERT_TRUE(empty.ok());
    EXPECT_EQ(empty.Next(), nullptr);
    EXPECT_FALSE(empty.failed());

    DirectoryStream none{UniqueFd()};
    EXPECT_FALSE(none.ok());
    EXPECT_EQ(none.fd(), -1);
    EXPECT_EQ(none.Next(), nullptr);

    // A file's descriptor lists nothing.
    WriteFile(dir.path() / "file", "x");
    DirectoryStream file(UniqueFd(open((dir.path() / "file").c_str(), O_RDONLY | O_CLOEXEC)));
    EXPECT_FALSE(file.ok());
    EXPECT_EQ(file.Next(), nullptr);
}

} // namespace
