#pragma once
// The launcher's process entry. instance is the program directory; the other arguments are
// not read. Always returns 0.
#include "duilib/types.h"

int WinMain(DuiLib::LPCTSTR instance, void* previousInstance, const char* commandLine,
            int showCommand);
