#pragma once
// The crash filter. A fatal signal on any thread (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT)
// reaches MiniDumper::ExceptionFilter, which writes a dump file with DBGHELP.DLL's
// MiniDumpWriteDump into the program directory and ends the process with exit code 0.
//
// Start-up, once, before anything else:
//     auto* dumper = new MiniDumper;          // lives until the process ends
//     if (RegisteredDumper.load() == nullptr) {
//         InstallCrashFilter();
//         dumper->silent = 1;
//         RegisteredDumper = dumper;
//     }
#include <climits>
#include <csignal>
#include <cstdint>

#include "modules/dumpwriter/dump_writer_api.h"

// What the filter was handed: the signal as the kernel delivered it.
struct CrashSignal {
    int number;
    const siginfo_t* info;
    void* context; // the interrupted thread's ucontext_t
};

class MiniDumper {
public:
    // The three hooks run inside the signal handler, on the crashing thread: an override may
    // only do async-signal-safe work (no allocation, no locks, no stdio).
    // Called just before the dump is written.
    virtual void OnBeforeDump() {}
    // Passed to the writer as its user streams.
    virtual const void* GetUserStreams() { return nullptr; }
    // UTF-8 text shown at the top of the crash report when not silent.
    virtual const char* GetUserMessage() { return ""; }
    virtual ~MiniDumper() = default;

    // The signal handler (SA_SIGINFO). Works on RegisteredDumper; when that is null the signal
    // takes its default action (the process dies by it). Never returns.
    [[noreturn]] static void ExceptionFilter(int signal, siginfo_t* info, void* context);

    const CrashSignal* exceptionPointers = nullptr;
    std::int64_t crashTime = 0; // seconds since the epoch
    // UTF-8 paths. When dumpPath is still empty at the crash, the filter names the dump
    // moduleDir + "crash-<UTC yyyymmdd-hhmmss>-<pid>.dmp".
    char dumpPath[PATH_MAX] = {};
    char moduleDir[PATH_MAX] = {}; // ends in "/"
    char moduleName[NAME_MAX + 1] = {};
    std::int32_t silent = 0; // non-zero: nothing is written to stderr

private:
    [[noreturn]] void HandleCrash(const CrashSignal& crash);
    void FindProgram();
    bool ComposeDumpPath();
    void Report(const char* message, const char* path, int error) const;
};

// Routes the fatal signals of every thread to MiniDumper::ExceptionFilter, gives the calling
// thread an alternate signal stack, and resolves DBGHELP.DLL (program directory first, then the
// system's search) and its MiniDumpWriteDump. The module is loaded here rather than at the crash
// because dlopen takes locks and allocates, which a signal handler must not do. Calling it again
// re-installs the handlers and keeps the module found the first time. False when a handler could
// not be installed.
bool InstallCrashFilter();

// Gives the calling thread an alternate signal stack (kept until the thread ends), so a stack
// overflow still reaches the filter. A thread that already has a large enough one keeps it.
// Threads without one still reach the filter for every fault but an overflow of their own stack.
// Thread entry code calls it first thing; InstallCrashFilter does it for its own thread.
bool PrepareCrashStack();
