#include "launcher/log.h"

#include <mutex>

#include "launcher/globals.h"
#include "launcher/launcher.h"

namespace {
// Serialises writers and the release of the target at exit.
std::mutex logMutex;
} // namespace

bool IsLogOpen() {
    LauncherFrameWnd* frame = TheLauncherFrame.load();
    return frame != nullptr && frame->LogTarget.load() != nullptr;
}

void WriteLogRecord(wxLogLevel level, const char* file, int line, const char* function,
                    const wxString& text) {
    std::lock_guard<std::mutex> lock(logMutex);
    LauncherFrameWnd* frame = TheLauncherFrame.load();
    wxLog* target = frame ? frame->LogTarget.load() : nullptr;
    if (target == nullptr)
        return;
    // Straight to the target: the facility would hold back records of other threads until the
    // UI thread flushes it, which this launcher never does.
    wxLogRecordInfo info(file, line, function, wxLOG_COMPONENT);
    target->LogRecord(level, text, info);
}

void ReleaseLogTarget(LauncherFrameWnd& frame) {
    std::lock_guard<std::mutex> lock(logMutex);
    wxLog* target = frame.LogTarget.exchange(nullptr);
    if (target == nullptr)
        return;
    wxLog::SetActiveTarget(nullptr);
    delete target;
}
