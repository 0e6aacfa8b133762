#include "duilib/display.h"
#include "launcher/winmain.h"
#include "system/path.h"

int main() {
    DuiLib::RegisterWxDisplayBackend();
    const std::wstring programDirectory = platform::ExecutableDirectory();
    return WinMain(programDirectory.c_str(), nullptr, "", 0);
}
