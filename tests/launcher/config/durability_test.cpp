// Every save reaches the disk before it takes the file's name: the new content is synced,
// then renamed over the file, then the directory is synced. A crash in between leaves the old
// file or the complete new one. The calls are recorded in order by tests/support/sync_trace.
#include <algorithm>
#include <functional>

#include "launcher/config/legacy_migration.h"
#include "launcher/config/setting_config.h"
#include "launcher/config/setup_config.h"
#include "launcher/config/version_config.h"
#include "system/atomic_replace.h"
#include "system/profile.h"
#include "tests/launcher/config/program_dir_test.h"
#include "tests/support/sync_trace.h"

namespace {

class DurabilityTest : public ProgramDirTest {
protected:
    // The events of one replacement of name, checked in order: sync of the temporary sibling,
    // rename over name, sync of the directory.
    void ExpectDurableReplacement(const std::string& name) {
        const std::string directory = std::filesystem::canonical(dir.path()).string();
        const std::vector<std::string> trace = testing_support::SyncTrace();
        const std::string suffix = " -> " + directory + "/" + name;
        const auto rename = std::find_if(trace.begin(), trace.end(), [&](const std::string& e) {
            return e.starts_with("rename ") && e.ends_with(suffix);
        });
        ASSERT_NE(rename, trace.end()) << name << " was not renamed into place";
        const std::string temporary = rename->substr(7, rename->size() - 7 - suffix.size());
        EXPECT_EQ(temporary.substr(0, directory.size() + 1), directory + "/");
        EXPECT_TRUE(platform::IsTemporarySiblingName(temporary.substr(directory.size() + 1)))
            << temporary;
        EXPECT_NE(std::find(trace.begin(), rename, "sync " + temporary), rename)
            << "the content is synced before the rename";
        EXPECT_NE(std::find(rename, trace.end(), "sync " + directory), trace.end())
            << "the directory is synced after the rename";
    }
};

} // namespace

TEST_F(DurabilityTest, MigrationsSavesAndProfileWritesSyncBeforeTheRename) {
    Write("zel.ini", "[Setup]\nServerAddr=1\nVoice=1\n");
    ASSERT_TRUE(SetupConfig::Instance()->Load(WideFile("zel.ini")));
    const std::pair<const char*, std::function<bool()>> writes[] = {
        {"resolution.ini", [] { return LoadResolutionIni(); }},
        {"version.ini", [] { return LoadVersionIni(); }},
        {"zel.ini", [] { return SetupConfig::Instance()->Save(); }},
        {"version.ini", [] { return VersionConfig::Instance()->Save(); }},
        {"resolution.ini", [] { return SettingConfig::Instance()->Save(); }},
        {"Do.ini",
         [this] {
             return platform::WriteProfileString(dir.wide() + L"Do.ini", L"Addr", L"k", L"v");
         }},
    };
    for (const auto& [name, write] : writes) {
        SCOPED_TRACE(name);
        testing_support::StartSyncTrace();
        EXPECT_TRUE(write());
        ExpectDurableReplacement(name);
    }
}
