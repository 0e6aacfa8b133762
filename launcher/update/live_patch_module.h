#pragma once
// The holder of LiveUpdate.dll and the LivePatch object it hands out: one per process, reached
// through TheLivePatchModule(). Used on the update worker only; the exit-time destructor
// releases what is still held.
#include <wx/string.h>

#include "system/modules.h"

class LivePatch;

class LivePatchModule {
public:
    LivePatchModule() = default;
    ~LivePatchModule();
    LivePatchModule(const LivePatchModule&) = delete;
    LivePatchModule& operator=(const LivePatchModule&) = delete;

    // Unloads what is held, then loads "LiveUpdate.dll" from the program directory, hands it
    // WriteLiveUpdateRecord as its log sink when it has one, and asks it for its object, which gets
    // the launcher's shut-down flag as its abort flag at once. False, with nothing held, when the
    // module, its export or the object is missing.
    bool Load();
    // The object's Connect; on true, url (cut to 1023 characters) and version keep the
    // arguments. False without an object.
    bool Connect(const wxString& address, const wxString& localVersion);
    // The server's launcher version, "0" without an object.
    wxString GetLVersion();
    // Releases the object, then frees the module.
    void Unload();

    platform::ModuleHandle module = nullptr;
    LivePatch* patch = nullptr;
    wchar_t url[1024] = {};
    wxString version;
};

// The process-wide holder, created on first use.
LivePatchModule& TheLivePatchModule();

// The records of the version check, of the update worker's passes and of the module itself,
// each run of repeats written once with its count (log.h). The update worker flushes them when
// its phase changes and when it ends. Never destroyed: the module may still speak at exit.
class RepeatedRecords;
RepeatedRecords& UpdateRecords();

// The log sink Load hands to the module when it exports one: each of its lines becomes an
// error record in "run.log" through UpdateRecords(). Any thread.
void WriteLiveUpdateRecord(const char* text);
