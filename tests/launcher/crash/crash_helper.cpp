// Installs the crash filter the way the launcher's start-up does, then crashes the way its first
// argument says. The crash-filter tests run copies of it in temporary program directories.
//   crash_helper <how> [loud] [unregistered] [dump-path=<path>]
// Exit code 3 means the crash did not happen.
#include <barrier>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

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

CRASH_FUNCTION int CrashByDivision() {
    volatile int zero = 0;
    const int result = 7 / zero;
    // Some architectures' division does not trap; the signal is still the one to handle.
    raise(SIGFPE);
    return result;
}

CRASH_FUNCTION int CrashByBusError() {
    // A mapping past the end of its (empty) file: touching it raises SIGBUS.
    const int file = memfd_create("crash_helper", MFD_CLOEXEC);
    const long page = sysconf(_SC_PAGESIZE);
    auto* mapped = static_cast<volatile char*>(mmap(nullptr, page, PROT_READ, MAP_SHARED, file, 0));
    return mapped == MAP_FAILED ? 0 : mapped[0];
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

namespace {

void OnWorker(void (*crash)()) {
    std::thread worker(crash);
    worker.join();
}

bool Crash(const std::string& how) {
    if (how == "null-write")
        CrashByNullWrite();
    else if (how == "worker-null-write")
        OnWorker(CrashByNullWrite);
    else if (how == "abort")
        CrashByAbort();
    else if (how == "divide-by-zero")
        CrashByDivision();
    else if (how == "bus")
        CrashByBusError();
    else if (how == "illegal")
        CrashByIllegalInstruction();
    else if (how == "stack-overflow")
        CrashByRecursion(0);
    else if (how == "worker-stack-overflow")
        OnWorker([] {
            PrepareCrashStack();
            CrashByRecursion(0);
        });
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
    } else
        return false;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    // A crash the filter lets through must not leave a core file behind.
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);

    static MiniDumper dumper;
    bool registered = true;
    dumper.silent = 1;
    for (int i = 2; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "loud")
            dumper.silent = 0;
        else if (option == "unregistered")
            registered = false;
        else if (option.starts_with("dump-path="))
            std::strncpy(dumper.dumpPath, argv[i] + 10, sizeof dumper.dumpPath - 1);
    }
    if (!InstallCrashFilter())
        return 2;
    if (registered)
        RegisteredDumper = &dumper;
    if (argc < 2 || !Crash(argv[1]))
        return 2;
    return 3;
}
