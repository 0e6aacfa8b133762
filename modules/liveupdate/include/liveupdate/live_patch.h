#pragma once
// The interface of LiveUpdate.dll, the live-update module, shared by the module and the launcher.
// The launcher loads the module by name, finds GetLivePatch with dlsym and calls it; everything
// else goes through the LivePatch object it returns. The order of the virtual operations and the
// four words after the table pointer are the contract, so keep both as they are.
#include <atomic>
#include <cstdint>

#include <wx/string.h>

class LivePatchModule;
class LauncherFrameWnd;

// Fine progress of the current download: context is the reporting LivePatch object, total the
// package's size and done the bytes of it on disk. The result is ignored.
typedef int (*liveUpdateProgress)(void* context, double total, double done);

// The course of an update, one call per event, in this order for each version step: for each
// package a download step (fileName, 0, size, false), the progress callback while it arrives
// and once more with done = size, and a download step (fileName, size, size, false) once its
// size and SHA-256 match; once every package of the step is here and checked, the finished
// package (fileName, size, size, true) for each, in the step's order; then a versions report
// (null, 0, 0, false) after which GetCurVersion gives the step's target. A step that cannot be
// had whole reports no finished package. The caller may empty "temp" while it handles a finished
// package: the step's packages not yet reported wait in the program directory's "temp.held"
// meanwhile (the next GetLivePatch removes what a run that ended then left there). After the
// last step, a versions report with launcherStep set when the launcher version given to
// StartUpdate differs from the server's, then the end (null, 0, 0, true). fileName is the
// package's full path in the program directory's "temp"; sizes above INT32_MAX are scaled down
// together. patchModule is the word given back; noHandOver is always false.
typedef void (*liveUpdateProcess)(const wchar_t* fileName, int bytesDone, int bytesTotal,
                                  bool finished, LivePatchModule* patchModule, bool launcherStep,
                                  bool noHandOver);

// One update session against one server. Every operation runs on the thread that calls it, and
// all calls come from one thread at a time (the update worker); both callbacks run on the thread
// that called StartUpdate, before it returns.
class LivePatch {
protected:
    // Slots 0 and 1 (the two destructor entries): the object is freed only through Release.
    virtual ~LivePatch() = default;

public:
    // Slot 2: fetches the manifest at url and its signature (the manifest's path + ".sig", with
    // its query), checks the signature against "update.pub" and reads the manifest. False when
    // any of that fails, the reason in the module's records; a manifest that does not verify
    // counts as a server that did not answer. The two fetches together end within 5 s. version
    // is the installed game version.
    virtual bool Connect(const wchar_t* url, const wchar_t* version) = 0;
    // Slot 3: follows the manifest's version steps from version, fetches each package into the
    // program directory's "temp" (continuing a partial file) and reports through the callbacks.
    // True when every step ran and the end was reported. False, without the end report, when not
    // connected, when the server's launcher version is below lversion, when no chain of steps
    // leads from version to the server's game version, when a package cannot be fetched or fails
    // its size or SHA-256 check twice in the process's life (once that happened, at once and
    // without a request), or when the abort flag was set; steps already reported stay done and a
    // later call continues from the version the caller then holds. A step that fails leaves
    // nothing of its packages in "temp", unless the abort flag cut a transfer: a later start
    // continues that.
    virtual bool StartUpdate(const wxString& version, const wxString& lversion) = 0;
    // Slot 4: the game version reached: the last step's target, else the version given to
    // Connect.
    virtual wxString GetCurVersion() = 0;
    // Slot 5: the server's game version; empty before a successful Connect.
    virtual wxString GetVersion() = 0;
    // Slot 6: the server's launcher version; empty before a successful Connect.
    virtual wxString GetLVersion() = 0;
    // Slot 7: the bytes of the packages this object made ready, saturating.
    virtual std::uint32_t GetDownloadedBytes() = 0;
    // Slot 8: frees the object; it must not be used afterwards.
    virtual void Release() = 0;
    // Slot 9: the flag that stops the object: once it is set, a running Connect or StartUpdate
    // ends its transfer and returns false soon after, with no further callback. The launcher
    // passes its shut-down flag right after GetLivePatch; the flag must outlive the object. Null
    // (the default) means nothing stops it.
    virtual void SetAbortFlag(const std::atomic<bool>* abort) = 0;

    // Written by the launcher after a successful version check; the module reads the two
    // callbacks and gives patchModule back to the process callback.
    liveUpdateProcess processCallback = nullptr;
    liveUpdateProgress progressCallback = nullptr;
    LivePatchModule* patchModule = nullptr;
    LauncherFrameWnd* frame = nullptr;
};

// The module's first export. Null when no update can be offered: without a readable Ed25519
// public key in "update.pub" in the program directory (the module's own directory); the reason
// goes to the module's records. Once loaded, the module stays mapped for the life of the
// process, so what one run learnt (records, packages that failed their check) outlives a reload.
extern "C" LivePatch* GetLivePatch();
typedef LivePatch* (*GetLivePatchFunction)();
inline constexpr char kGetLivePatchName[] = "GetLivePatch";

// The module's second export, optional to the caller: the launcher hands over a sink for the
// module's records (why an update is not offered, why a package was refused), so that they reach
// the launcher's log and not only standard error. text is one line of UTF-8; the sink may be
// called on any thread that calls into the module. Null detaches it. The sink gets each distinct
// record once; when it is detached or replaced by another, it gets a closing line with the count
// for each record that came again meanwhile ("... (N times in all)"). Setting the same sink again
// changes nothing. Every record also goes to standard error.
typedef void (*LiveUpdateLogSink)(const char* text);
extern "C" void SetLiveUpdateLogSink(LiveUpdateLogSink sink);
typedef void (*SetLiveUpdateLogSinkFunction)(LiveUpdateLogSink sink);
inline constexpr char kSetLiveUpdateLogSinkName[] = "SetLiveUpdateLogSink";
