// The live-update callbacks on their own, as the module calls them: the four report kinds of the
// process callback over real packages, the progress callback and the self-update hand-over.
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "duilib/duilib.h"
#include "launcher/config/version_config.h"
#include "launcher/log.h"
#include "launcher/ui/update_wnd.h"
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
    MakeZip(programDir / "temp/p.tre", {{.name = "data/maps.i", .data = "copied"}});
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
    // The package and its unpacked directory went; the step's other packages stay for their
    // own reports.
    EXPECT_EQ(ListTree(programDir / "temp"), std::vector<std::string>{"p.tre"});
    EXPECT_GT(frame.InstallTotal.load(), 0u);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), 100.0f);

    Process(programDir.wide() + L"temp/p.tre", 10, 10, true);
    EXPECT_EQ(ReadFile(programDir / "data/maps.i"), "copied");
    EXPECT_TRUE(fs::exists(programDir / "temp/p.tre"));
    EXPECT_EQ(ReadFile(programDir / "temp/p/data/maps.i"), "copied");
}

// A package file that cannot be removed (immutable, which holds even for root): the package is
// installed all the same, and the failed delete is recorded.
TEST_F(LiveUpdateCallbacks, PackageThatCannotBeDeletedAfterItsInstallIsRecorded) {
    const std::wstring package = Package("1.0-1.1-1.upd", {{.name = "a.txt", .data = "new"}});
    const fs::path file = programDir / "temp/1.0-1.1-1.upd";
    if (std::system(("chattr +i '" + file.string() + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "the file system here cannot make a file immutable";
    Process(package, 10, 10, true);
    std::system(("chattr -i '" + file.string() + "'").c_str());
    EXPECT_EQ(ReadFile(programDir / "a.txt"), "new");
    EXPECT_TRUE(fs::exists(file));
    EXPECT_FALSE(fs::exists(programDir / "temp/1.0-1.1-1"));
    EXPECT_NE(Log().find("delete temp directory failure because " + std::to_string(EPERM) + " !"),
              std::string::npos)
        << Log();
}

TEST_F(LiveUpdateCallbacks, PackageThatDidNotUnpackWholeIsRefusedAndInstallsNothing) {
    frame.UpdateNeeded = true;
    WriteFile(programDir / "keep.txt", "keep");
    const std::wstring package =
        Package("bad.upd", {{.name = "keep.txt", .data = "changed"},
                            {.name = "broken.txt", .data = "x", .declaredCrc = 1}});
    // What an earlier package of the step left goes with it.
    WriteFile(programDir / "temp/earlier/data/maps.i", "unpacked before");
    Process(package, 10, 10, true);
    EXPECT_FALSE(frame.UpdateNeeded);
    EXPECT_EQ(ReadFile(programDir / "keep.txt"), "keep");
    EXPECT_FALSE(fs::exists(programDir / "temp"));
    EXPECT_NE(Log().find("unzip files failure!"), std::string::npos);
    EXPECT_NE(Log().find("the package " + (programDir / "temp/bad.upd").string() +
                         " did not unpack whole"),
              std::string::npos)
        << Log();
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
    // The versions are the self-updater's to record, once the new launcher is in place.
    EXPECT_EQ(ReadFile(programDir / "version.ini"), "[Version]\nVersion=1.0\nLVersion=1.0\n");
    EXPECT_EQ(ReadFile(programDir / "temp/1.0-1.1-3/version.ini"),
              "[Version]\nVersion=0\nLVersion=0\n");

    // The end of the patch leaves what the self-updater copies from.
    Process(L"", 0, 0, true);
    EXPECT_TRUE(fs::exists(programDir / "temp/1.0-1.1-3/launcher"));
}

TEST_F(LiveUpdateCallbacks, FailureAfterASelfUpdatePackageKeepsOnlyWhatTheSelfUpdaterNeeds) {
    Process(Package("1.0-1.1-3.upd", {{.name = "launcherupdate.exe", .data = "updater"}}), 1, 1,
            true);
    ASSERT_TRUE(frame.SelfUpdatePending);
    WriteFile(programDir / "temp/earlier/a.txt", "left");
    Process(Package("bad.upd", {{.name = "x.txt", .data = "x", .declaredCrc = 1}}), 1, 1, true);
    EXPECT_EQ(ListTree(programDir / "temp"),
              (std::vector<std::string>{"1.0-1.1-3", "1.0-1.1-3/launcherupdate.exe"}));
}

// A program directory whose name the self-updater's parameters cannot carry.
TEST_F(LiveUpdateCallbacks, RefusedHandOverKeepsTheVersionsSoTheNextStartOffersTheStepAgain) {
    const fs::path dir = programDir / "a \"game\"";
    const std::wstring wideDir = programDir.wide() + L"a \"game\"/";
    frame.InstancePath = wideDir;
    WriteFile(dir / "version.ini", "[Version]\nVersion=1.0\nLVersion=1.0\n");
    ASSERT_TRUE(VersionConfig::Instance()->Load(wideDir + L"version.ini"));
    MakeZip(dir / "temp/1.0-1.1-3.upd", {{.name = "launcherupdate.exe", .data = "updater"},
                                         {.name = "launcher", .data = "new launcher"}});
    frame.UpdateNeeded = true;
    Process(wideDir + L"temp/1.0-1.1-3.upd", 1, 1, true);
    ASSERT_TRUE(frame.SelfUpdatePending);

    Process(L"", 0, 0, false);
    Process(L"", 0, 0, false, true);
    EXPECT_EQ(ReadFile(dir / "version.ini"), "[Version]\nVersion=1.0\nLVersion=1.0\n");
    EXPECT_FALSE(fs::exists(dir / "launcher"));
    EXPECT_FALSE(fs::exists(dir / "temp"));
    EXPECT_FALSE(frame.UpdateNeeded);
    EXPECT_NE(Log().find("no self-update: "), std::string::npos);
    EXPECT_NE(Log().find("holds a double quote or \"*\""), std::string::npos) << Log();
}

// The update window's version label and the enter-game button, built by hand as the skin
// places them.
class PatchDisplay : public LiveUpdateCallbacks {
protected:
    void SetUp() override {
        LiveUpdateCallbacks::SetUp();
        window.CurVersionTxt = &label;
        frame.UpdateWnd = &window;
        frame.EnterGameBtn = &button;
    }
    void TearDown() override {
        frame.UpdateWnd = nullptr;
        frame.EnterGameBtn = nullptr;
        LiveUpdateCallbacks::TearDown();
    }
    void ChooseServer(const wchar_t* addr, const wchar_t* port, const wchar_t* charge,
                      const wchar_t* sid) {
        SelectedServerAddr = addr;
        SelectedServerPort = port;
        SelectedServerChargeIp = charge;
        SelectedServerSid = sid;
    }

    DuiLib::CTextUI label;
    DuiLib::CButtonUI button;
    UIUpdateWnd window{nullptr};
};

TEST_F(PatchDisplay, VersionsReportsWithoutAnObjectRecordZeroAndTheEndShowsTheGameVersion) {
    Process(L"", 0, 0, false);
    EXPECT_EQ(ReadFile(programDir / "version.ini"), "[Version]\nVersion=0\nLVersion=1.0\n");
    EXPECT_EQ(label.GetText(), L"0");
    Process(L"", 0, 0, false, true);
    EXPECT_EQ(ReadFile(programDir / "version.ini"), "[Version]\nVersion=0\nLVersion=0\n");

    VersionConfig::Instance()->Version = L"1.7";
    VersionConfig::Instance()->LVersion = L"3";
    label.SetText(L"");
    Process(L"", 0, 0, true);
    EXPECT_EQ(label.GetText(), L"1.7");
    EXPECT_NE(Log().find("update finished: game version 1.7, launcher version 3"),
              std::string::npos)
        << Log();
}

TEST_F(PatchDisplay, EndOfPatchEnablesEnterGameOnlyWithAllFourServerValues) {
    const struct {
        const wchar_t* addr;
        const wchar_t* port;
        const wchar_t* charge;
        const wchar_t* sid;
        bool enabled;
    } cases[] = {
        {L"10.0.0.1", L"7000", L"10.0.0.2", L"1", true}, {L"", L"7000", L"10.0.0.2", L"1", false},
        {L"10.0.0.1", L"", L"10.0.0.2", L"1", false},    {L"10.0.0.1", L"7000", L"", L"1", false},
        {L"10.0.0.1", L"7000", L"10.0.0.2", L"", false},
    };
    for (const auto& c : cases) {
        ChooseServer(c.addr, c.port, c.charge, c.sid);
        button.SetEnabled(!c.enabled);
        frame.UpdateNeeded = true;
        Process(L"", 0, 0, true);
        EXPECT_EQ(button.IsEnabled(), c.enabled)
            << c.addr << "|" << c.port << "|" << c.charge << "|" << c.sid;
        EXPECT_FALSE(frame.UpdateNeeded);
    }
}

// The module's records reach "run.log" through the sink the launcher hands it, repeats counted.
TEST_F(LiveUpdateCallbacks, ModuleRecordsThatRepeatAreWrittenOnceWithTheirCount) {
    for (int i = 0; i < 5; ++i) {
        WriteLiveUpdateRecord("cannot fetch http://127.0.0.1:1/manifest.xml: connection refused");
        WriteLiveUpdateRecord("cannot fetch http://127.0.0.1:2/manifest.xml: 404");
    }
    WriteLiveUpdateRecord("no update: update.pub is missing");
    UpdateRecords().Flush();
    WriteLiveUpdateRecord("no update: update.pub is missing");
    const std::string log = Log();
    const auto count = [&log](const std::string& text) {
        size_t n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("LiveUpdate.dll: cannot fetch http://127.0.0.1:1/manifest.xml: connection "
                    "refused\n"),
              1u)
        << log;
    EXPECT_EQ(count("LiveUpdate.dll: cannot fetch http://127.0.0.1:1/manifest.xml: connection "
                    "refused (repeated 4 times)\n"),
              1u)
        << log;
    EXPECT_EQ(count("LiveUpdate.dll: cannot fetch http://127.0.0.1:2/manifest.xml: 404 (repeated 4 "
                    "times)\n"),
              1u)
        << log;
    // Written again after the flush, never with a count of 0.
    EXPECT_EQ(count("LiveUpdate.dll: no update: update.pub is missing\n"), 2u) << log;
    EXPECT_EQ(count("(repeated"), 2u) << log;
}

} // namespace
