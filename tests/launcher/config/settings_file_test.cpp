// The settings files are read only when they are regular files of at most 1 MiB: a FIFO or a
// device in their place must neither hang start-up nor grow memory, and a larger file is
// logged and not read.
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <thread>

#include <gtest/gtest.h>

#include "launcher/config/settings_file.h"
#include "launcher/config/setup_config.h"
#include "launcher/config/version_config.h"
#include "tests/support/frame_with_log.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

class SettingsFileRead : public testing_support::FrameWithLog {
protected:
    wxString Path(const std::string& name) const { return wxString((programDir / name).wstring()); }
    SettingsFileStatus Read(const std::string& name, std::string& bytes) {
        return ReadSettingsBytes(Path(name), bytes);
    }
};

TEST_F(SettingsFileRead, OnlyRegularFilesUpToOneMebibyteAreRead) {
    ASSERT_EQ(mkfifo((programDir / "zel.ini").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", programDir / "version.ini");
    WriteFile(programDir / "at-cap.ini", std::string(1024 * 1024, 'a'));
    WriteFile(programDir / "over-cap.ini", std::string(1024 * 1024 + 1, 'b'));

    std::string bytes = "untouched";
    for (const char* name : {"zel.ini", "version.ini", "over-cap.ini"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Read(name, bytes), SettingsFileStatus::Unreadable);
        EXPECT_EQ(bytes, "untouched");
    }
    EXPECT_EQ(Read("missing.ini", bytes), SettingsFileStatus::Missing);
    EXPECT_EQ(Read("at-cap.ini", bytes), SettingsFileStatus::Ok);
    EXPECT_EQ(bytes.size(), 1024u * 1024u);
    EXPECT_FALSE(OpenSettingsFile(Path("zel.ini")));

    const std::string log = Log();
    EXPECT_NE(log.find("over-cap.ini is larger than 1048576 bytes and is not read"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("at-cap.ini"), std::string::npos) << log;
}

TEST_F(SettingsFileRead, TheIniLibrarysRecordsNameTheFileOnEveryThread) {
    WriteFile(programDir / "zel.ini", "[Setup] junk\nServerAddr=1\nServerAddr=2\n");
    WriteFile(programDir / "version.ini", "[Version]\nVersion=1\n[Extra]] more\n");
    ASSERT_TRUE(SetupConfig::Instance()->Load(Path("zel.ini")));
    std::thread worker([&] { VersionConfig::Instance()->Load(Path("version.ini")); });
    worker.join();

    const std::string log = Log();
    const std::string zel = (programDir / "zel.ini").string();
    const std::string version = (programDir / "version.ini").string();
    for (const std::string& record :
         {"file '" + zel + "', line 1: 'junk' ignored after group header.",
          "file '" + zel + "', line 3: key 'ServerAddr' was first found at line 1.",
          "file '" + version + "', line 3: '] more' ignored after group header."})
        EXPECT_NE(log.find(record), std::string::npos) << record << "\n" << log;
    EXPECT_EQ(log.find("file ''"), std::string::npos) << log;
}

TEST_F(SettingsFileRead, RefusedWritesSayWhy) {
    using namespace std::string_literals;
    WriteFile(programDir / "zel.ini", "[Setup]\nServerAddr=1\nName=\0\n"s);
    WriteFile(programDir / "version.ini", "[Version]\nVersion=1\n");
    fs::permissions(programDir / "version.ini", fs::perms::owner_read);
    SetupConfig& setup = *SetupConfig::Instance();
    ASSERT_TRUE(setup.Load(Path("zel.ini")));
    EXPECT_FALSE(setup.Save());
    VersionConfig& versions = *VersionConfig::Instance();
    ASSERT_TRUE(versions.Load(Path("version.ini")));
    EXPECT_FALSE(versions.Save());
    const std::string log = Log();
    EXPECT_NE(log.find((programDir / "zel.ini").string() +
                       " was not read whole and faithfully and is not written"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find((programDir / "version.ini").string() + " is read-only and is not replaced"),
              std::string::npos)
        << log;
}

} // namespace
