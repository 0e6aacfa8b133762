#include "launcher/update/patch_report.h"

PatchReport ReadPatchReport(const wchar_t* fileName, int bytesDone, int bytesTotal, bool finished,
                            bool launcherStep, bool noHandOver) {
    if (fileName == nullptr) {
        if (finished)
            return EndOfPatch{};
        return VersionsReport{.launcherStep = launcherStep};
    }
    if (!finished)
        return DownloadStep{.bytesDone = bytesDone, .bytesTotal = bytesTotal};
    return FinishedPackage{.file = fileName, .noHandOver = noHandOver};
}
