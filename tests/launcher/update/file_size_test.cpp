// The launcher's size rule on real files: sizes as they are, 1 for what cannot be measured, with
// the "pathList.xml" record only where the file is missing.
#include <filesystem>

#include <gtest/gtest.h>

#include "tests/support/frame_with_log.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

class FileSize : public testing_support::FrameWithLog {
protected:
    uint32_t Size(const fs::path& path) { return frame.GetFileSize(wxString(path.wstring())); }

    TempDir files;
};

TEST_F(FileSize, SizesUpToFourGibibytesAreExactWhatCannotBeMeasuredGivesOne) {
    WriteFile(files / "empty.xml", "");
    WriteFile(files / "three.xml", "abc");
    WriteFile(files / "largest", "");
    fs::resize_file(files / "largest", 0xFFFFFFFF); // sparse: no disk used
    WriteFile(files / "too-large", "");
    fs::resize_file(files / "too-large", 0x100000000);
    EXPECT_EQ(Size(files / "empty.xml"), 0u);
    EXPECT_EQ(Size(files / "three.xml"), 3u);
    EXPECT_EQ(Size(files / "largest"), 0xFFFFFFFFu);
    EXPECT_EQ(Size(files / "too-large"), 1u);
    EXPECT_EQ(Log(), ""); // the record is for missing files only

    const fs::path missing = files / "ServerList.xml";
    EXPECT_EQ(Size(missing), 1u);
    EXPECT_EQ(Size(files.path()), 1u);
    const std::string log = Log();
    EXPECT_NE(log.find("file_size.cpp("), std::string::npos) << log;
    for (const fs::path& path : {missing, files.path()})
        EXPECT_NE(log.find("): pathList.xml " + path.string() + " error in update server\n"),
                  std::string::npos)
            << log;
}

} // namespace
