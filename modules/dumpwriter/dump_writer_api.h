#pragma once
// The interface of DBGHELP.DLL, our crash-dump writer, shared by the module and the launcher's
// crash filter. The launcher finds the function by name with dlsym, so the name and the argument
// list are the contract; the layout of the structure below is part of it too.
#include <sys/types.h>

extern "C" {

enum MiniDumpType : int {
    MiniDumpNormal = 0,
};

// The fault as the signal handler saw it.
struct MiniDumpExceptionInformation {
    pid_t threadId;           // the thread that faulted
    int signalNumber;         // SIGSEGV, SIGBUS, ...
    int signalCode;           // si_code: how the signal came about
    const void* faultAddress; // si_addr; for signals sent by a process, null
    const void* context;      // the interrupted thread's ucontext_t, or null
};

// Writes a text dump of the current process to the open file `file`. `processId` is the process
// described, `threadId` the thread doing the writing; `exception` may be null. `userStreams` and
// `callback` are accepted and ignored. Returns non-zero when the whole dump was written, else 0
// with errno set. Async-signal-safe: meant to be called from a fatal-signal handler.
typedef int (*MiniDumpWriteDumpFunction)(pid_t processId, pid_t threadId, int file,
                                         MiniDumpType type,
                                         const MiniDumpExceptionInformation* exception,
                                         const void* userStreams, const void* callback);

int MiniDumpWriteDump(pid_t processId, pid_t threadId, int file, MiniDumpType type,
                      const MiniDumpExceptionInformation* exception, const void* userStreams,
                      const void* callback);

} // extern "C"
