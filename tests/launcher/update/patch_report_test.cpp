// The process callback's seven arguments read as the four reports the module sends.
#include <gtest/gtest.h>

#include "launcher/update/patch_report.h"

namespace {

TEST(PatchReport, TheFileNameAndTheFinishedFlagSayWhichReportAndItsOwnArgumentsGoWithIt) {
    const PatchReport step = ReadPatchReport(L"/p/temp/a.upd", 500, 1000, false, true, true);
    ASSERT_TRUE(std::holds_alternative<DownloadStep>(step));
    EXPECT_EQ(std::get<DownloadStep>(step).bytesDone, 500);
    EXPECT_EQ(std::get<DownloadStep>(step).bytesTotal, 1000);

    for (const bool noHandOver : {false, true}) {
        const PatchReport package =
            ReadPatchReport(L"/p/temp/a.upd", 7, 7, true, false, noHandOver);
        ASSERT_TRUE(std::holds_alternative<FinishedPackage>(package));
        EXPECT_EQ(std::get<FinishedPackage>(package).file, L"/p/temp/a.upd");
        EXPECT_EQ(std::get<FinishedPackage>(package).noHandOver, noHandOver);
    }
    // Only a null name is a versions report or the end; an empty one still names a package.
    EXPECT_TRUE(
        std::holds_alternative<FinishedPackage>(ReadPatchReport(L"", 0, 0, true, false, false)));
    EXPECT_TRUE(
        std::holds_alternative<DownloadStep>(ReadPatchReport(L"", 0, 0, false, false, false)));

    for (const bool launcherStep : {false, true}) {
        const PatchReport versions = ReadPatchReport(nullptr, 3, 4, false, launcherStep, true);
        ASSERT_TRUE(std::holds_alternative<VersionsReport>(versions));
        EXPECT_EQ(std::get<VersionsReport>(versions).launcherStep, launcherStep);
    }
    EXPECT_TRUE(
        std::holds_alternative<EndOfPatch>(ReadPatchReport(nullptr, 0, 0, true, true, false)));
}

} // namespace
