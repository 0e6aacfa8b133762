// The live-update callbacks on their own, as the module calls them: the four report kinds of the
// process callback over real packages, the progress callback and the self-update hand-over.
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "launcher/config/version_config.h"
#include "launcher/update/live_patch_module.h"
#include "launcher/update/progress_observer.h"
#include "launcher/update/self_update.h"
#include "tests/support/frame_with_log.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_for.h"
#include "tests/support/zip_maker.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

class LiveUpdateCallbacks : public testing_support::FrameWithLog {
protected:
    void SetUp() override {
        FrameWithLog::SetUp();
        frame.InstancePath = programDir.wide();
        WriteFile(programDir / "version.ini", "[Version]\nVersion=1.0\nLVersion=1.0\n");
        ASSERT_TRUE(VersionConfig::Instance()->Load(programDir.wide() + L"version.ini"));
        SetProgressObserver([this](float percent) { shown.push_back(percent); });
    }
    void TearDown() override {
        SetProgressObserver({});
        FrameWithLog::TearDown();
    }

    void Process(const std::wstring& file, int done, int total, bool finished,
                 bool launcherStep = false) {
        LauncherFrameWnd::liveUpdateProcess(file.empty() ? nullptr : file.c_str(), done, total,
                                            finished, &holder, launcherStep, false);
    }
    // A package in "temp" as the module leaves it, and its full path as it reports it.
    std::wstring Package(const std::string& name,
                         const std::vector<testing_support::ZipMakerEntry>& entries) {
        MakeZip(programDir / "temp" / name, entries);
        return programDir.wide() + L"temp/" + std::wstring(name.begin(), name.end());
    }

    LivePatchModule holder; // no module loaded: the object's words are "no object"
    std::vector<float> shown;
};

TEST_F(LiveUpdateCallbacks, ReportsWithoutPatchModuleOrOfOtherFilesChangeNothingButTheCounters) {
    const std::wstring package = Package("a.upd", {{.name = "a.txt", .data = "a"}});
    frame.InstallTotal = 7;
    LauncherFrameWnd::liveUpdateProcess(package.c_str(), 1, 1, true, nullptr, false, false);
    LauncherFrameWnd::liveUpdateProcess(nullptr, 0, 0, true, nullptr, false, false);
    EXPECT_EQ(frame.InstallTotal.load(), 7u);
    EXPECT_FALSE(fs::exists(programDir / "a.txt"));

    for (const char* name : {"b.UPD", "b.Tre", "b.zip"}) {
        Package(name, {{.name = "b.txt", .data = "b"}});
        frame.InstallTotal = 7;
        frame.InstallDone = 3;
        Process(programDir.wide() + L"temp/" + std::wstring(name, name + 5), 1, 1, true);
        EXPECT_EQ(frame.InstallTotal.load(), 0u) << name;
        EXPECT_EQ(frame.InstallDone.load(), 0u) << name;
    }
    EXPECT_FALSE(fs::exists(programDir / "b.txt"));
    EXPECT_FALSE(fs::exists(programDir / "temp/b"));
    EXPECT_TRUE(shown.empty());
}

TEST_F(LiveUpdateCallbacks, DownloadStepsShowWholeSharesAndProgressShowsTheTruncatedPercent) {
    Process(L"/x/temp/a.upd", 500, 1000, false);
    Process(L"/x/temp/a.upd", 1000, 1000, false);
    Process(L"/x/temp/a.upd", 0, 0, false);
    EXPECT_EQ(LauncherFrameWnd::liveUpdateProgress(nullptr, 0, 10), 0);
    EXPECT_EQ(LauncherFrameWnd::liveUpdateProgress(nullptr, 400, 100), 0);
    EXPECT_EQ(LauncherFrameWnd::liveUpdateProgress(nullptr, 3, 2), 0);
    EXPECT_EQ(shown, (std::vector<float>{0, 100, 25, 66}));
}

TEST_F(LiveUpdateCallbacks, FinishedPackagesAreInstalledTheUpdsDownloadDeletedTheTresKept) {
    WriteFile(programDir / "old.txt", "old");
    const std::wstring package =
        Package("1.0-1.1-1.upd", {{.name = "old.txt", .data = "new"},
                                  {.name = "sub/added.txt", .data = "added"},
                                  {.name = "del.lst", .data = "gone.txt\r\n"},
                                  {.name = "version.ini", .data = "[Version]\nVersion=9\n"}});
    WriteFile(programDir / "gone.txt", "gone");
    Process(package, 10, 10, true);
    // The versions are recorded by the versions report once the whole step is in, never by a
    // package.
    EXPECT_EQ(ReadFile(programDir / "version.ini"), "[Version]\nVersion=1.0\nLVersion=1.0\n");
    EXPECT_EQ(ReadFile(programDir / "old.txt"), "new");
    EXPECT_EQ(ReadFile(programDir / "sub/added.txt"), "added");
    EXPECT_FALSE(fs::exists(programDir / "gone.txt"));
    EXPECT_FALSE(fs::exists(programDir / "temp"));
    EXPECT_GT(frame.InstallTotal.load(), 0u);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), 100.0f);

    Process(Package("p.tre", {{.name = "data/maps.i", .data = "copied"}}), 10, 10, true);
    EXPECT_EQ(ReadFile(programDir / "data/maps.i"), "copied");
    EXPECT_TRUE(fs::exists(programDir / "temp/p.tre"));
    EXPECT_EQ(ReadFile(programDir / "temp/p/data/maps.i"), "copied");
}

TEST_F(LiveUpdateCallbacks, PackageThatDidNotUnpackWholeIsRefusedAndInstallsNothing) {
    frame.UpdateNeeded = true;
    WriteFile(programDir / "keep.txt", "keep");
    const std::wstring package =
        Package("bad.upd", {{.name = "keep.txt", .data = "changed"},
                            {.name = "broken.txt", .data = "x", .declaredCrc = 1}});
    Process(package, 10, 10, true);
    EXPECT_FALSE(frame.UpdateNeeded);
    EXPECT_EQ(ReadFile(programDir / "keep.txt"), "keep");
    EXPECT_TRUE(fs::exists(programDir / "temp/bad.upd"));
    EXPECT_NE(Log().find("unzip files failure!"), std::string::npos);
}

TEST(SelfUpdateParameters, AreQuoteSourceStarProgramWithoutClosingQuote) {
    EXPECT_EQ(SelfUpdateParameters(L"/g/temp/p 1/", L"/g/"), wxString(L"\"/g/temp/p 1/*/g/"));
    EXPECT_EQ(SelfUpdateParameters(L"/g/temp/包/", L"/游戏/"), wxString(L"\"/g/temp/包/*/游戏/"));
    EXPECT_FALSE(SelfUpdateParameters(L"/g/temp/p\"/", L"/g/"));
    EXPECT_FALSE(SelfUpdateParameters(L"/g/temp/p/", L"/g*/"));
}

TEST_F(LiveUpdateCallbacks, PackageWithSelfUpdaterIsHandedOverAtTheNextVersionsReport) {
    TempDir out;
    const std::string script = "#!/bin/sh\nprintf '%s|' \"$@\" > '" + (out / "args.tmp").string() +
                               "'\nmv '" + (out / "args.tmp").string() + "' '" +
                               (out / "args").string() + "'\n";
    WriteFile(programDir / "launcher", "old launcher");
    const std::wstring package =
        Package("1.0-1.1-3.upd", {{.name = "launcherupdate.exe",
                                   .data = script,
                                   .host = testing_support::kZipHostUnix,
                                   .externalAttributes = testing_support::UnixAttributes(0100755)},
                                  {.name = "launcher", .data = "new launcher"}});
    Process(package, 10, 10, true);
    // Not installed, and kept for the self-updater.
    EXPECT_EQ(ReadFile(programDir / "launcher"), "old launcher");
    EXPECT_TRUE(frame.SelfUpdatePending);
    EXPECT_EQ(frame.SelfUpdaterPath, programDir.wide() + L"temp/1.0-1.1-3/launcherupdate.exe");
    EXPECT_EQ(frame.SelfUpdateSourceDir, programDir.wide() + L"temp/1.0-1.1-3/");
    EXPECT_FALSE(fs::exists(out / "args"));

    Process(L"", 0, 0, false);
    WaitFor([&] { return fs::exists(out / "args"); });
    // The parameter string split as the command line is: the quote opens a group that runs to
    // the end, so the self-updater sees one argument.
    EXPECT_EQ(ReadFile(out / "args"),
              (programDir / "temp/1.0-1.1-3/").string() + "*" + programDir.path().string() + "/|");
    EXPECT_TRUE(fs::exists(programDir / "temp/1.0-1.1-3.upd"));
}

} // namespace
