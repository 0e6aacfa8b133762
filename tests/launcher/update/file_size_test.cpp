// The launcher's size rule on real files: sizes as they are, 1 for what cannot be measured, with
// the "pathList.xml" record only where the file is missing.
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include <gtest/gtest.h>

#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "tests/support/frame_with_log.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

namespace {

class FileSize : public testing_support::FrameWithLog {
protected:
    uint32_t Size(const fs::path& path) { return frame.GetFileSize(wxString(path.wstring())); }

    // A sparse file of the given length: no disk space needed.
    static void Sparse(const fs::path& path, off_t length) {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, length), 0);
        close(fd);
    }

    TempDir files;
};

TEST_F(FileSize, RegularFilesGiveTheirSize) {
    WriteFile(files / "empty.xml", "");
    WriteFile(files / "three.xml", "abc");
    EXPECT_EQ(Size(files / "empty.xml"), 0u);
    EXPECT_EQ(Size(files / "three.xml"), 3u);
    EXPECT_EQ(Log(), "");
}

TEST_F(FileSize, MissingFilesAndDirectoriesGiveOneWithARecord) {
    const fs::path missing = files / "ServerList.xml";
    EXPECT_EQ(Size(missing), 1u);
    EXPECT_EQ(Size(files.path()), 1u);
    const std::string log = Log();
    EXPECT_NE(log.find("file_size.cpp("), std::string::npos) << log;
    EXPECT_NE(log.find("): pathList.xml " + missing.string() + " error in update server\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("): pathList.xml " + files.path().string() + " error in update server\n"),
              std::string::npos)
        << log;
}

TEST_F(FileSize, SizesFromFourGibibytesOnGiveOneWithoutARecord) {
    Sparse(files / "largest", 0xFFFFFFFFLL);
    Sparse(files / "too-large", 0x100000000LL);
    EXPECT_EQ(Size(files / "largest"), 0xFFFFFFFFu);
    EXPECT_EQ(Size(files / "too-large"), 1u);
    EXPECT_EQ(Log(), "");
}

} // namespace
