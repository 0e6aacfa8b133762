#include "launcher/log.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include <wx/time.h>

namespace {

// Enough for every update address and the module's record of each in one failing pass.
constexpr size_t kRememberedRecords = 8;

// Serialises writers and the release of the target at exit.
std::mutex logMutex;
std::atomic<wxLog*> logTarget{nullptr};

// logMutex held.
void WriteTo(wxLog* target, wxLogLevel level, const char* file, int line, const char* function,
             const wxString& text) {
    // Straight to the target: the facility would hold back records of other threads until the
    // UI thread flushes it, which this launcher never does. The facility stamps the time on
    // the way, so it is stamped here.
    wxLogRecordInfo info(file, line, function, wxLOG_COMPONENT);
    info.timestampMS = wxGetUTCTimeMillis().GetValue();
    info.timestamp = static_cast<time_t>(info.timestampMS / 1000);
    target->LogRecord(level, text, info);
}

} // namespace

wxString RecordSource(const char* file, int line) {
    return wxString::Format(L"%s(%d)", wxString::FromUTF8(file), line);
}

bool IsLogOpen() {
    return logTarget.load() != nullptr;
}

bool SetLogTarget(wxLog* target) {
    std::lock_guard<std::mutex> lock(logMutex);
    if (logTarget.load() != nullptr) {
        delete target;
        return false;
    }
    wxLog::SetActiveTarget(target);
    logTarget = target;
    return true;
}

void WriteLogRecord(wxLogLevel level, const char* file, int line, const char* function,
                    const wxString& text) {
    std::lock_guard<std::mutex> lock(logMutex);
    if (wxLog* target = logTarget.load())
        WriteTo(target, level, file, line, function, text);
}

void HandLogRecordToFacility(wxLogLevel level, const char* file, int line, const char* function,
                             const wxString& text) {
    std::lock_guard<std::mutex> lock(logMutex);
    wxLog* target = logTarget.load();
    // Lives to the end of the process: a record may come while exit-time destructors run.
    static wxLog* const standardError = new wxLogStderr(stderr, wxConvUTF8);
    WriteTo(target != nullptr ? target : standardError, level, file, line, function, text);
}

void ReleaseLogTarget() {
    std::lock_guard<std::mutex> lock(logMutex);
    wxLog* target = logTarget.exchange(nullptr);
    if (target == nullptr)
        return;
    wxLog::SetActiveTarget(nullptr);
    delete target;
}

void LogMessageBox(const wxString& caption, const wxString& text) {
    LOG_ERROR(L": message box \"%s\": %s", caption, text);
}

void RepeatedRecords::Write(wxLogLevel level, const char* file, int line, const char* function,
                            const wxString& text) {
    std::lock_guard lock(mutex_);
    const auto same = std::find_if(seen_.begin(), seen_.end(), [&](const Seen& seen) {
        return seen.level == level && seen.text == text;
    });
    if (same != seen_.end()) {
        ++same->repeats;
        return;
    }
    WriteLogRecord(level, file, line, function, text);
    if (seen_.size() == kRememberedRecords) {
        WriteCount(seen_.front());
        seen_.erase(seen_.begin());
    }
    seen_.push_back({level, file, line, function, text, 0});
}

void RepeatedRecords::Flush() {
    std::lock_guard lock(mutex_);
    for (const Seen& seen : seen_)
        WriteCount(seen);
    seen_.clear();
}

void RepeatedRecords::WriteCount(const Seen& seen) {
    if (seen.repeats == 0)
        return;
    wxString text = seen.text;
    text.Trim();
    WriteLogRecord(seen.level, seen.file, seen.line, seen.function,
                   text + wxString::Format(L" (repeated %zu times)", seen.repeats));
}
