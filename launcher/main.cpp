#include <cstdio>
#include <unistd.h>

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
    return result;
}
