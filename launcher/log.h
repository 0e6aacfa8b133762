#pragma once
// The log convention: "run.log" through the wxWidgets logging facility. A record is
// "<source file>(<line>)" of the statement that makes it, then its own format filled with its own
// arguments only (so a format is ": load zel.ini error", and its first "%s" is its own); it is
// made only while a log target is set. Records made on any thread reach the file.
#include <cstddef>
#include <mutex>
#include <vector>

#include <wx/log.h>
#include <wx/string.h>

// True while a log target is set.
bool IsLogOpen();

// Makes target the active log target and takes ownership of it. False, with target deleted,
// when one is already set. Any thread.
bool SetLogTarget(wxLog* target);

// Detaches the target from the facility, then deletes it (exit). Any thread.
void ReleaseLogTarget();

// Hands a finished text to the open log target (thread-safe). Nothing when the log is closed
// or the level is disabled.
void WriteLogRecord(wxLogLevel level, const char* file, int line, const char* function,
                    const wxString& text);

// Hands a finished text to the facility whether or not run.log is open: to the open target, else
// to standard error, the facility's own default (thread-safe). Nothing when the level is
// disabled. For the records the launcher makes in any case.
void HandLogRecordToFacility(wxLogLevel level, const char* file, int line, const char* function,
                             const wxString& text);

// The log's record of a message box the player could not see (a run without a display): an
// error-level record with its caption and text. Any thread.
void LogMessageBox(const wxString& caption, const wxString& text);

// "<file>(<line>)", the start of a record.
wxString RecordSource(const char* file, int line);

template <typename... Args>
void LogRecord(wxLogLevel level, const char* file, int line, const char* function,
               const wxString& format, const Args&... args) {
    if (!IsLogOpen() || !wxLog::IsLevelEnabled(level, wxLOG_COMPONENT))
        return;
    WriteLogRecord(level, file, line, function,
                   RecordSource(file, line) + wxString::Format(format, args...));
}

// Records that come again and again (each try of a failing connection) are written once: the
// first at once, the repeats only counted, and Flush writes "<record> (repeated N times)" for each
// that came again. The last few distinct records are remembered, so failures that take turns
// (every address in order) collapse as well as one record repeated. Any thread.
class RepeatedRecords {
public:
    void Write(wxLogLevel level, const char* file, int line, const char* function,
               const wxString& text);
    // Writes the counts of the records that came again since the last Flush and forgets them
    // all, so the next record is written at once.
    void Flush();

private:
    struct Seen {
        wxLogLevel level;
        const char* file;
        int line;
        const char* function;
        wxString text;
        size_t repeats;
    };
    static void WriteCount(const Seen& seen);

    std::mutex mutex_;
    std::vector<Seen> seen_; // oldest first
};

template <typename... Args>
void LogRepeatedRecord(RepeatedRecords& records, wxLogLevel level, const char* file, int line,
                       const char* function, const wxString& format, const Args&... args) {
    if (!IsLogOpen() || !wxLog::IsLevelEnabled(level, wxLOG_COMPONENT))
        return;
    records.Write(level, file, line, function,
                  RecordSource(file, line) + wxString::Format(format, args...));
}

template <typename... Args>
void LogRecordInAnyCase(wxLogLevel level, const char* file, int line, const char* function,
                        const wxString& format, const Args&... args) {
    if (!wxLog::IsLevelEnabled(level, wxLOG_COMPONENT))
        return;
    HandLogRecordToFacility(level, file, line, function, wxString::Format(format, args...));
}

#define LOG_ERROR(format, ...)                                                                     \
    LogRecord(wxLOG_Error, __FILE__, __LINE__, __func__, format __VA_OPT__(, ) __VA_ARGS__)
#define LOG_WARNING(format, ...)                                                                   \
    LogRecord(wxLOG_Warning, __FILE__, __LINE__, __func__, format __VA_OPT__(, ) __VA_ARGS__)
#define LOG_ERROR_COLLAPSED(records, format, ...)                                                  \
    LogRepeatedRecord(records, wxLOG_Error, __FILE__, __LINE__, __func__,                          \
                      format __VA_OPT__(, ) __VA_ARGS__)
#define LOG_MESSAGE_COLLAPSED(records, format, ...)                                                \
    LogRepeatedRecord(records, wxLOG_Message, __FILE__, __LINE__, __func__,                        \
                      format __VA_OPT__(, ) __VA_ARGS__)
#define LOG_MESSAGE(format, ...)                                                                   \
    LogRecord(wxLOG_Message, __FILE__, __LINE__, __func__, format __VA_OPT__(, ) __VA_ARGS__)
// Records made also while run.log is not open (a run without a log still says why it lacks a
// worker or a fresh server list). They are the bare text, without the source and line.
#define LOG_ERROR_IN_ANY_CASE(format, ...)                                                         \
    LogRecordInAnyCase(wxLOG_Error, __FILE__, __LINE__, __func__, format __VA_OPT__(, ) __VA_ARGS__)
#define LOG_MESSAGE_IN_ANY_CASE(format, ...)                                                       \
    LogRecordInAnyCase(wxLOG_Message, __FILE__, __LINE__, __func__,                                \
                       format __VA_OPT__(, ) __VA_ARGS__)
