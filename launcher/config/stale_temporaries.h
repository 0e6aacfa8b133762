#pragma once
// Temporary siblings that an interrupted replacement of a file (a settings file, the server
// list) left behind: ".zel.ini.tmp-<16 hex digits>" and the like, a pattern only the launcher
// writes.

// Removes every regular file in the program directory (not below it) whose name is one of our
// temporary siblings; links, directories and every other name are left alone. UI thread, at
// start-up before any file is read or written.
void RemoveStaleTemporaryFiles();
