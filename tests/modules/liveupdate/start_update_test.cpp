// StartUpdate: the step chain, checked packages in "temp", resumed transfers and the reports the
// launcher's callbacks receive.
#include <atomic>
#include <cstdlib>
#include <map>

#include "tests/modules/liveupdate/loaded_live_update.h"
#include "tests/support/noise_bytes.h"
#include "tests/support/zip_maker.h"

namespace testing_support {
namespace {

class StartUpdateTest : public LoadedLiveUpdate {
protected:
    // A manifest for 1.0 -> 1.1 whose one step carries the given package elements.
    void PublishStep(const std::string& packages) {
        Publish(ManifestXml("1.1", "1.0", StepXml("1.0", "1.1", packages)));
    }
    bool LoadAndConnect() { return Load() != nullptr && Connect("1.0"); }
    // A step whose one package (1 MiB, as the server's stalled answer announces) never arrives.
    void PublishStalledPackage() {
        PublishStep("<package name=\"slow.upd\" size=\"1048576\" sha256=\"" + std::string(64, '0') +
                    "\"/>");
        ASSERT_TRUE(server->SetRules({"/slow.upd=stall"}));
    }
    // StartUpdate's result, with *said set to what it wrote to standard error.
    bool StartUpdateSaying(const char* version, const char* lversion, std::string* said) {
        ::testing::internal::CaptureStderr();
        const bool started = patch->StartUpdate(version, lversion);
        *said = ::testing::internal::GetCapturedStderr();
        return started;
    }
};
using Strings = std::vector<std::string>;

std::string Sizes(const std::string& bytes) {
    return std::to_string(bytes.size()) + "/" + std::to_string(bytes.size());
}

std::vector<std::string> RangesOf(const TestServer& server, const std::string& path) {
    std::vector<std::string> ranges;
    for (const TestServer::Request& request : server.Requests()) {
        if (request.path == path)
            ranges.push_back(request.range);
    }
    return ranges;
}

// A step's packages are reported finished only once all of them are here and checked; each is
// still in "temp" when its report comes, although the launcher empties "temp" after a ".upd".
TEST_F(StartUpdateTest, ReportsEachCheckedPackageThenTheVersionsThenTheEndOnTheCallingThread) {
    const std::string a = PackageBytes("a");
    const std::string b = PackageBytes("b");
    const std::string c = PackageBytes("c");
    const std::string steps =
        StepXml("1.0", "1.1", Package("release/a.upd", a) + Package("release/b.tre", b)) +
        StepXml("1.1", "1.2", Package("release/c.upd", c));
    // Packages sit beside the manifest, wherever that is.
    std::string manifest = ManifestXml("1.2", "2.0", steps);
    for (size_t at; (at = manifest.find("release/")) != std::string::npos;)
        manifest.erase(at, 8);
    WriteFile(releaseDir / "release/manifest.xml", manifest);
    WriteFile(releaseDir / "release/manifest.xml.sig", key.Sign(manifest));
    ASSERT_NE(Load(), nullptr);
    const std::string url = server->Url("/release/manifest.xml");
    ASSERT_TRUE(patch->Connect(std::wstring(url.begin(), url.end()).c_str(), L"1.0"));
    deleteTempAfterUpd = true;

    bool started = false;
    std::thread::id worker;
    std::thread thread([&] {
        worker = std::this_thread::get_id();
        started = patch->StartUpdate("1.0", "1.9");
    });
    thread.join();

    EXPECT_TRUE(started);
    EXPECT_EQ(
        ReportTexts(),
        (Strings{"step temp/a.upd 0/" + std::to_string(a.size()), "step temp/a.upd " + Sizes(a),
                 "step temp/b.tre 0/" + std::to_string(b.size()), "step temp/b.tre " + Sizes(b),
                 "finished temp/a.upd " + Sizes(a), "finished temp/b.tre " + Sizes(b),
                 "versions game 1.1", "step temp/c.upd 0/" + std::to_string(c.size()),
                 "step temp/c.upd " + Sizes(c), "finished temp/c.upd " + Sizes(c),
                 "versions game 1.2", "versions launcher", "end"}));
    const std::map<std::string, std::string> shaOfFinished = {
        {"finished temp/a.upd " + Sizes(a), Sha256Hex(a)},
        {"finished temp/b.tre " + Sizes(b), Sha256Hex(b)},
        {"finished temp/c.upd " + Sizes(c), Sha256Hex(c)}};
    for (const ProcessReport& report : processReports) {
        EXPECT_EQ(report.thread, worker) << report.text;
        EXPECT_EQ(report.patchModule, kPatchModule) << report.text;
        EXPECT_FALSE(report.noHandOver) << report.text;
        if (shaOfFinished.contains(report.text)) {
            EXPECT_EQ(report.fileSha256, shaOfFinished.at(report.text)) << report.text;
        }
    }
    // Fine progress: per package, rising to its size.
    std::vector<double> completed;
    double last = 0;
    for (const ProgressReport& report : progressReports) {
        EXPECT_EQ(report.thread, worker);
        EXPECT_EQ(report.context, patch);
        EXPECT_LE(report.done, report.total);
        if (report.done == report.total)
            completed.push_back(report.total);
        else
            EXPECT_GE(report.done, last);
        last = report.done == report.total ? 0 : report.done;
    }
    EXPECT_EQ(completed,
              (std::vector<double>{static_cast<double>(a.size()), static_cast<double>(b.size()),
                                   static_cast<double>(c.size())}));
    EXPECT_EQ(patch->GetCurVersion(), "1.2");
    EXPECT_EQ(patch->GetDownloadedBytes(), a.size() + b.size() + c.size());
    EXPECT_EQ(server->CountRequests("/release/a.upd"), 1);
    EXPECT_FALSE(std::filesystem::exists(programDir / "temp.held"));
}

TEST_F(StartUpdateTest, GivesUpAPackageThatFailsItsCheckTwiceAndLeavesNothingOfIt) {
    const std::string good = PackageBytes("good");
    const std::string bad = PackageBytes("bad");
    const struct {
        const char* what;
        std::string served;
        int requests;
    } cases[] = {
        {"other bytes of the same size", PackageBytes("bat"), 2},
        {"one byte short", bad.substr(1), 2},
        {"one byte more", bad + "x", 1},
    };
    ASSERT_NE(Load(), nullptr);
    int count = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        processReports.clear();
        std::filesystem::remove_all(programDir / "temp");
        const std::string name = "bad" + std::to_string(++count) + ".upd";
        PublishStep(Package("good.upd", good) + Package(name, bad));
        WriteFile(releaseDir / name, c.served);
        ASSERT_TRUE(Connect("1.0"));

        std::string said;
        EXPECT_FALSE(StartUpdateSaying("1.0", "1.0", &said));
        EXPECT_NE(said.find(name), std::string::npos) << said;

        EXPECT_EQ(server->CountRequests("/" + name), c.requests);
        // The step cannot be had whole: its good package is neither reported nor kept.
        EXPECT_EQ(ReportTexts(),
                  (Strings{"step temp/good.upd 0/" + std::to_string(good.size()),
                           "step temp/good.upd " + Sizes(good),
                           "step temp/" + name + " 0/" + std::to_string(bad.size())}));
        EXPECT_EQ(ListTree(programDir / "temp"), Strings{});
        EXPECT_EQ(patch->GetCurVersion(), "1.0");
    }
}

// The launcher tries again every moment of its version check: a server that keeps sending a wrong
// package must not be asked for it on each try.
TEST_F(StartUpdateTest, DoesNotFetchAgainInThisRunAPackageThatFailedItsCheckTwice) {
    const std::string good = PackageBytes("good");
    const std::string bad = PackageBytes("bad");
    PublishStep(Package("good.upd", good) + Package("bad.upd", bad));
    WriteFile(releaseDir / "bad.upd", PackageBytes("bat"));
    ASSERT_TRUE(LoadAndConnect());
    std::string said;
    EXPECT_FALSE(StartUpdateSaying("1.0", "1.0", &said));
    EXPECT_EQ(server->CountRequests("/bad.upd"), 2);

    // Later tries fail at once, also through the object of a later version check.
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        processReports.clear();
        EXPECT_FALSE(StartUpdateSaying("1.0", "1.0", &said));
        EXPECT_NE(said.find("bad.upd"), std::string::npos) << said;
        EXPECT_NE(said.find("not fetched again"), std::string::npos) << said;
        EXPECT_EQ(ReportTexts(), Strings{});
        if (attempt == 1) {
            patch->Release();
            patch = nullptr;
            ASSERT_TRUE(LoadAndConnect());
        }
    }
    EXPECT_EQ(server->CountRequests("/bad.upd"), 2);
    EXPECT_EQ(server->CountRequests("/good.upd"), 1);

    // A body longer than the package counts as one failed check per try.
    PublishStep(Package("long.upd", good));
    WriteFile(releaseDir / "long.upd", good + "x");
    ASSERT_TRUE(Connect("1.0"));
    for (int attempt = 0; attempt < 3; ++attempt)
        EXPECT_FALSE(patch->StartUpdate("1.0", "1.0"));
    EXPECT_EQ(server->CountRequests("/long.upd"), 2);

    // The operator's next release, with the package's new digest, is fetched.
    PublishStep(Package("good.upd", good) + Package("bad.upd", PackageBytes("bat")));
    ASSERT_TRUE(Connect("1.0"));
    EXPECT_TRUE(patch->StartUpdate("1.0", "1.0"));
    EXPECT_EQ(server->CountRequests("/bad.upd"), 3);
}

// A step installs whole or not at all, and what it brought goes with it; the packages of steps
// already reported stay for the launcher to deal with.
TEST_F(StartUpdateTest, AStepThatCannotBeHadWholeReportsNothingFinishedAndLeavesNothing) {
    const std::string a = PackageBytes("a");
    const std::string b = PackageBytes("b");
    const std::string big = NoiseBytes(300000, 5);
    const std::string steps =
        StepXml("1.0", "1.1", Package("a.upd", a)) +
        StepXml("1.1", "1.2",
                Package("b.tre", b) + Package("big.upd", big) + Package("gone.upd", "x"));
    Publish(ManifestXml("1.2", "1.0", steps));
    std::filesystem::remove(releaseDir / "gone.upd");
    ASSERT_TRUE(LoadAndConnect());
    const Strings firstStep = {"step temp/a.upd 0/" + std::to_string(a.size()),
                               "step temp/a.upd " + Sizes(a), "finished temp/a.upd " + Sizes(a),
                               "versions game 1.1"};
    const Strings bReady = {"step temp/b.tre 0/" + std::to_string(b.size()),
                            "step temp/b.tre " + Sizes(b)};
    const struct {
        const char* what;
        const char* rule;
        Strings lastReports;
    } cases[] = {
        {"a transfer cut twice", "/big.upd=close:100000", {"step temp/big.upd 0/300000"}},
        {"a later package missing",
         "/big.upd=file",
         {"step temp/big.upd 0/300000", "step temp/big.upd 300000/300000",
          "step temp/gone.upd 0/1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(programDir / "temp");
        processReports.clear();
        ASSERT_TRUE(server->SetRules({c.rule}));
        EXPECT_FALSE(patch->StartUpdate("1.0", "1.0"));
        Strings expected = firstStep;
        expected.insert(expected.end(), bReady.begin(), bReady.end());
        expected.insert(expected.end(), c.lastReports.begin(), c.lastReports.end());
        EXPECT_EQ(ReportTexts(), expected);
        EXPECT_EQ(patch->GetCurVersion(), "1.1");
        EXPECT_EQ(ListTree(programDir / "temp"), Strings{"a.upd"});
        EXPECT_FALSE(std::filesystem::exists(programDir / "temp.held"));
    }
}

// A manifest replayed from an older release is validly signed; it must not take the launcher's
// recorded version back any more than the game's.
TEST_F(StartUpdateTest, RefusesAManifestWhoseLauncherVersionIsBelowTheInstalledOne) {
    Publish(ManifestXml("1.0", "1.10", ""));
    ASSERT_TRUE(LoadAndConnect());
    const struct {
        const char* lversion;
        bool started;
        Strings reports;
        const char* said;
    } cases[] = {
        {"1.9", true, {"versions launcher", "end"}, ""},
        {"1.10", true, {"end"}, ""},
        {"1.11", false, {}, "launcher version 1.10 is below the installed 1.11"},
        {"2.0", false, {}, "launcher version 1.10 is below the installed 2.0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lversion);
        processReports.clear();
        std::string said;
        EXPECT_EQ(StartUpdateSaying("1.0", c.lversion, &said), c.started);
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_EQ(ReportTexts(), c.reports);
    }
}

TEST_F(StartUpdateTest, PackagesHeldByARunThatEndedWhileReportingThemGoWithTheNextObject) {
    WriteFile(programDir / "temp.held/a.upd", PackageBytes("a"));
    ASSERT_NE(Load(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(programDir / "temp.held"));
}

TEST_F(StartUpdateTest, APartAsLongAsItsPackageIsCheckedWithoutARequest) {
    const std::string bytes = PackageBytes("whole");
    PublishStep(Package("whole.upd", bytes));
    WriteFile(programDir / "temp/whole.upd.part", bytes);
    ASSERT_TRUE(LoadAndConnect());
    EXPECT_TRUE(patch->StartUpdate("1.0", "1.0"));
    EXPECT_EQ(server->CountRequests("/whole.upd"), 0);
    EXPECT_EQ(ListTree(programDir / "temp"), Strings{"whole.upd"});
    EXPECT_EQ(ReadFile(programDir / "temp/whole.upd"), bytes);

    // Other bytes of that length are fetched again whole, not continued.
    std::filesystem::remove(programDir / "temp/whole.upd");
    const std::string other = PackageBytes("whold");
    ASSERT_EQ(other.size(), bytes.size());
    WriteFile(programDir / "temp/whole.upd.part", other);
    EXPECT_TRUE(patch->StartUpdate("1.0", "1.0"));
    EXPECT_EQ(RangesOf(*server, "/whole.upd"), Strings{"-"});
    EXPECT_EQ(ReadFile(programDir / "temp/whole.upd"), bytes);
}

TEST_F(StartUpdateTest, ContinuesACutTransferWithARangeRequest) {
    const std::string bytes = NoiseBytes(300000, 7);
    PublishStep(Package("big.upd", bytes));
    ASSERT_TRUE(server->SetRules({"/big.upd=close:100000"}));
    ASSERT_TRUE(LoadAndConnect());

    // The cut transfer is continued at once; a continuation that brings nothing ends the call,
    // and the failed step leaves nothing behind.
    EXPECT_FALSE(patch->StartUpdate("1.0", "1.0"));
    EXPECT_EQ(RangesOf(*server, "/big.upd"), (Strings{"-", "bytes=100000-"}));
    EXPECT_EQ(ListTree(programDir / "temp"), Strings{});

    // A part that shut-down kept is carried on from where it ends.
    WriteFile(programDir / "temp/big.upd.part", bytes.substr(0, 100000));
    ASSERT_TRUE(server->SetRules({"/big.upd=file"}));
    processReports.clear();
    EXPECT_TRUE(patch->StartUpdate("1.0", "1.0"));
    EXPECT_EQ(RangesOf(*server, "/big.upd"), (Strings{"-", "bytes=100000-", "bytes=100000-"}));
    EXPECT_EQ(ReadFile(programDir / "temp/big.upd"), bytes);
    EXPECT_EQ(ListTree(programDir / "temp"), Strings{"big.upd"});
    EXPECT_EQ(ReportTexts(),
              (Strings{"step temp/big.upd 0/300000", "step temp/big.upd 300000/300000",
                       "finished temp/big.upd 300000/300000", "versions game 1.1", "end"}));
}

// Bytes kept from before count only when the package they make up checks out.
TEST_F(StartUpdateTest, KeptBytesInTempAreUsedOnlyWhenThePackageMatches) {
    // The continuation itself is sound, but the kept bytes are not the package's.
    const std::string wrong = NoiseBytes(300000, 11);
    PublishStep(Package("wrong.upd", wrong));
    WriteFile(programDir / "temp/wrong.upd.part", NoiseBytes(100000, 12));
    ASSERT_TRUE(LoadAndConnect());
    EXPECT_TRUE(patch->StartUpdate("1.0", "1.0"));
    EXPECT_EQ(RangesOf(*server, "/wrong.upd"), (Strings{"bytes=100000-", "-"}));
    EXPECT_EQ(ReadFile(programDir / "temp/wrong.upd"), wrong);
    EXPECT_EQ(ListTree(programDir / "temp"), Strings{"wrong.upd"});

    // A whole package left in temp is taken without a request only when it matches.
    const std::string bytes = PackageBytes("kept");
    PublishStep(Package("kept.upd", bytes));
    ASSERT_TRUE(Connect("1.0"));
    WriteFile(programDir / "temp/kept.upd", bytes);
    EXPECT_TRUE(patch->StartUpdate("1.0", "1.0"));
    EXPECT_EQ(server->CountRequests("/kept.upd"), 0);
    WriteFile(programDir / "temp/kept.upd", PackageBytes("stale"));
    EXPECT_TRUE(patch->StartUpdate("1.0", "1.0"));
    EXPECT_EQ(server->CountRequests("/kept.upd"), 1);
    EXPECT_EQ(ReadFile(programDir / "temp/kept.upd"), bytes);
}

TEST_F(StartUpdateTest, EndsWhenTheServerStalls) {
    setenv("LIVEUPDATE_STALL_LIMIT_MS", "300", 1);
    PublishStalledPackage();
    ASSERT_TRUE(LoadAndConnect());

    EXPECT_FALSE(patch->StartUpdate("1.0", "1.0"));
    EXPECT_EQ(ReportTexts(), Strings{"step temp/slow.upd 0/1048576"});
    EXPECT_TRUE(progressReports.empty());
    EXPECT_EQ(server->CountRequests("/slow.upd"), 1);
    EXPECT_EQ(ListTree(programDir / "temp"), Strings{});

    ASSERT_TRUE(server->SetRules({"/manifest.xml=stall"}));
    EXPECT_FALSE(Connect("1.0"));
}

TEST_F(StartUpdateTest, TheAbortFlagEndsATransferAndEveryLaterCall) {
    setenv("LIVEUPDATE_STALL_LIMIT_MS", "600000", 1); // only the flag can end the stall
    PublishStalledPackage();
    ASSERT_NE(Load(), nullptr);
    std::atomic<bool> shutDown{false};
    patch->SetAbortFlag(&shutDown);
    ASSERT_TRUE(Connect("1.0"));

    std::thread closeClick([&] {
        while (server->CountRequests("/slow.upd") == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        shutDown = true;
    });
    EXPECT_FALSE(patch->StartUpdate("1.0", "1.0"));
    closeClick.join();
    EXPECT_EQ(ReportTexts(), Strings{"step temp/slow.upd 0/1048576"});
    // A transfer cut by shut-down keeps its part for the next start.
    EXPECT_EQ(ListTree(programDir / "temp"), Strings{"slow.upd.part"});

    const size_t requests = server->Requests().size();
    EXPECT_FALSE(patch->StartUpdate("1.0", "1.0"));
    EXPECT_FALSE(Connect("1.0"));
    EXPECT_EQ(server->Requests().size(), requests);
    EXPECT_EQ(ReportTexts(), Strings{"step temp/slow.upd 0/1048576"});
}

TEST_F(StartUpdateTest, RunsOnlyAlongAChainOfStepsToTheServersVersion) {
    const std::string a = PackageBytes("a");
    Publish(ManifestXml("1.2", "2.0",
                        StepXml("1.0", "1.1", Package("a.upd", a)) + StepXml("1.1", "1.0", "") +
                            StepXml("0.0", "1.2", "")));
    ASSERT_NE(Load(), nullptr);
    EXPECT_FALSE(patch->StartUpdate("1.0", "2.0")); // not connected
    ASSERT_TRUE(Connect("1.0"));

    const struct {
        const char* version;
        const char* lversion;
        bool started;
        Strings reports;
        const char* said;
    } cases[] = {
        {"0.9", "2.0", false, {}, "no step leads from version 0.9 to 1.2"},
        {"1.0", "2.0", false, {}, "go round in a loop"},
        {"1.00", "2.0", false, {}, "no step leads from version 1.00"},
        {"0.0", "2.0", true, {"versions game 1.2", "end"}, ""},
        {"1.2", "1.9", true, {"versions launcher", "end"}, ""},
        {"1.2", "2.0", true, {"end"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.version) + " " + c.lversion);
        processReports.clear();
        std::string said;
        EXPECT_EQ(StartUpdateSaying(c.version, c.lversion, &said), c.started);
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        EXPECT_EQ(ReportTexts(), c.reports);
    }
    EXPECT_EQ(server->CountRequests("/a.upd"), 0);
}

} // namespace
} // namespace testing_support
