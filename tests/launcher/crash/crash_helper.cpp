// Installs the crash filter the way the launcher's start-up does, then crashes the way its first
// argument says. The crash-filter tests run copies of it in temporary program directories.
//   crash_helper <how> [<dump path>]
// Exit code 3 means the crash did not happen.
#include <barrier>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <thread>

#include "launcher/globals.h"
#include "launcher/minidumper.h"

// The sanitizers would report some of these faults before the signal arrives; here the signal
// itself is the point. extern "C" keeps the names readable in the dump's backtrace.
#define CRASH_FUNCTION extern "C" __attribute__((noinline, no_sanitize("address", "undefined")))

CRASH_FUNCTION void CrashByNullWrite() {
    volatile int* volatile target = nullptr;
    *target = 42;
}

CRASH_FUNCTION void CrashByAbort() {
    std::abort();
}

CRASH_FUNCTION void CrashByIllegalInstruction() {
#if defined(__x86_64__) || defined(__i386__)
    asm volatile("ud2");
#elif defined(__aarch64__)
    asm volatile(".inst 0x00000000");
#else
    raise(SIGILL);
#endif
}

volatile bool stopRecursion = false;

CRASH_FUNCTION int CrashByRecursion(int depth) {
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    if (stopRecursion)
        return 0;
    return CrashByRecursion(depth + 1) + frame[0];
}

int main(int argc, char** argv) {
    // A crash the filter lets through must not leave a core file behind.
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);

    static MiniDumper dumper;
    dumper.silent = 1;
    if (argc > 2)
        std::strncpy(dumper.dumpPath, argv[2], sizeof dumper.dumpPath - 1);
    if (argc < 2 || !InstallCrashFilter())
        return 2;
    RegisteredDumper = &dumper;

    const std::string how = argv[1];
    if (how == "null-write")
        CrashByNullWrite();
    else if (how == "worker-null-write")
        std::thread(CrashByNullWrite).join();
    else if (how == "abort")
        CrashByAbort();
    else if (how == "illegal")
        CrashByIllegalInstruction();
    else if (how == "stack-overflow") // the filter runs on the alternate signal stack
        CrashByRecursion(0);
    else if (how == "two-threads") {
        // Both threads fault as close together as a barrier allows.
        std::barrier start(2);
        auto crash = [&start] {
            start.arrive_and_wait();
            CrashByNullWrite();
        };
        std::thread first(crash), second(crash);
        first.join();
        second.join();
    }
    return 3;
}
