#include <cstdio>
#include <unistd.h>

#include "duilib/backend.h"
#include "duilib/display.h"
#include "launcher/mythread.h"
#include "launcher/winmain.h"
#include "system/path.h"

int main() {
    DuiLib::RegisterWxDisplayBackend();
    const std::wstring programDirectory = platform::ExecutableDirectory();
    const int result = WinMain(programDirectory.c_str(), nullptr, "", 0);
    // A worker that did not stop in time may still use the libraries: the process ends here,
    // without tearing them down under it.
    if (RunningWorkers() != 0) {
        std::fflush(nullptr);
        _exit(result);
    }
    // Every window is gone and no worker runs: the display toolkit is torn down by its own
    // clean-up, not left to the order in which the process's static objects are destroyed.
    DuiLib::StopBackend();
    return result;
}
