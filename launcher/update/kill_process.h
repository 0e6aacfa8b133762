#pragma once
// Ending running game clients before their files are replaced.
#include <wx/string.h>

// Ends (SIGKILL) the running copies of this installation's program exeName: processes whose
// executable's file name equals exeName exactly, letter case included, that run as the
// launcher's own (real) user and, where their executable's path can be read, were started from
// the program directory (platform::ProgramDirectory). A client of another installation or of
// another user is left running. Never the launcher's own process, and an empty name matches
// nothing; processes we may not signal are skipped. With wait set, sleeps 500 ms when at least
// one process was ended, without checking that it is gone. False only when the process list
// cannot be taken. Runs on the update worker or the live-update callback's thread.
bool KillProcessByName(const wxString& exeName, bool wait);

// Signalling the processes we may end needs no extra privilege here: always true.
bool EnableDebugPrivilege();
