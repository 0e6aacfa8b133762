// A "DBGHELP.DLL" whose writer itself crashes half-way through the dump.
#include <unistd.h>

#include "modules/dumpwriter/dump_writer_api.h"

extern "C" __attribute__((visibility("default"), no_sanitize("address", "undefined"))) int
MiniDumpWriteDump(pid_t, pid_t, int file, MiniDumpType, const MiniDumpExceptionInformation*,
                  const void*, const void*) {
    static const char Start[] = "CRASH DUMP 1\n";
    if (write(file, Start, sizeof Start - 1) < 0)
        return 0;
    volatile int* volatile target = nullptr;
    *target = 1;
    return 1;
}
