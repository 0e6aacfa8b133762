// A "DBGHELP.DLL" from before the dump writer existed: it loads, but exports no
// MiniDumpWriteDump.
extern "C" __attribute__((visibility("default"))) int DumpModuleVersion() {
    return 1;
}
