// The settings files are read only when they are regular files of at most 1 MiB: a FIFO or a
// device in their place must neither hang start-up nor grow memory, and a larger file is
// logged and not read.
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "launcher/config/settings_file.h"
#include "tests/support/frame_with_log.h"

namespace {

namespace fs = std::filesystem;
using testing_support::WriteFile;

class SettingsFileRead : public testing_support::FrameWithLog {
protected:
    SettingsFileStatus Read(const std::string& name, std::string& bytes) {
        return ReadSettingsBytes(wxString((programDir / name).wstring()), bytes);
    }
};

TEST_F(SettingsFileRead, OnlyRegularFilesUpToOneMebibyteAreRead) {
    ASSERT_EQ(mkfifo((programDir / "zel.ini").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", programDir / "version.ini");
    fs::create_directory(programDir / "resolution.ini");
    WriteFile(programDir / "at-cap.ini", std::string(1024 * 1024, 'a'));
    WriteFile(programDir / "over-cap.ini", std::string(1024 * 1024 + 1, 'b'));

    std::string bytes = "untouched";
    for (const char* name : {"zel.ini", "version.ini", "resolution.ini", "over-cap.ini"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Read(name, bytes), SettingsFileStatus::Unreadable);
        EXPECT_EQ(bytes, "untouched");
    }
    EXPECT_EQ(Read("missing.ini", bytes), SettingsFileStatus::Missing);
    EXPECT_EQ(Read("at-cap.ini", bytes), SettingsFileStatus::Ok);
    EXPECT_EQ(bytes.size(), 1024u * 1024u);
    EXPECT_FALSE(OpenSettingsFile(wxString((programDir / "zel.ini").wstring())));

    const std::string log = Log();
    EXPECT_NE(log.find("over-cap.ini is larger than 1048576 bytes and is not read"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("at-cap.ini"), std::string::npos) << log;
}

} // namespace
