#pragma once
// Temporary siblings that an interrupted replacement left behind: a settings file or the server
// list (".zel.ini.tmp-<16 hex digits>" in the program directory), or a game file or directory
// of an install cut short (the same pattern beside it, anywhere in the game's tree). Only the
// launcher writes names of that pattern.

// Removes every one of our temporary siblings in the program directory and below it: files,
// and directories with what they hold. Links are never followed and never removed; directories
// deeper than a bound are not searched. UI thread, at start-up before any file is read or
// written.
void RemoveStaleTemporaryFiles();
