#pragma once
// The four reports of the live-update module's process callback. The module tells them apart by
// a null file name and the finished flag; they are read once, where the callback arrives, and
// handled each by its own function from there on.
#include <variant>

#include <wx/string.h>

// A package's download moved on: bytes of the file had so far, and its size.
struct DownloadStep {
    int bytesDone = 0;
    int bytesTotal = 0;
};
// A package of the step is here and checked: its full path in the program directory's "temp".
struct FinishedPackage {
    wxString file;
    bool noHandOver = false;
};
// Every package of a step is in: the versions it reached are recorded. launcherStep: the
// launcher's own version moved.
struct VersionsReport {
    bool launcherStep = false;
};
// The patch is over.
struct EndOfPatch {};

using PatchReport = std::variant<DownloadStep, FinishedPackage, VersionsReport, EndOfPatch>;

// The report the process callback's arguments (bar its patchModule) carry.
PatchReport ReadPatchReport(const wchar_t* fileName, int bytesDone, int bytesTotal, bool finished,
                            bool launcherStep, bool noHandOver);
