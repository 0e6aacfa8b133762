// The process-wide part of the paint manager: program directory, skin archive, message loop.
#include <mutex>
#include <string>

#include "duilib/paint_manager.h"
#include "message_loop.h"
#include "system/program_directory.h"

namespace DuiLib {

namespace {

std::mutex pathsMutex; // read by worker threads too
std::wstring resourcePath;
std::wstring resourceZip;

// A system path: a "\" in it is part of a name, never a separator.
std::wstring AsDirectory(LPCTSTR path) {
    std::wstring directory = path != nullptr ? path : L"";
    if (!directory.empty() && directory.back() != L'/')
        directory += L'/';
    return directory;
}

} // namespace

void CPaintManagerUI::SetInstance(LPCTSTR programDirectory) {
    detail::MarkUiThread();
    platform::SetProgramDirectory(programDirectory != nullptr ? programDirectory : L"");
}

// The program directory is held once, below this library, for code that does not use it.
CStdString CPaintManagerUI::GetInstancePath() {
    return platform::ProgramDirectory();
}

void CPaintManagerUI::SetResourcePath(LPCTSTR path) {
    std::lock_guard lock(pathsMutex);
    resourcePath = AsDirectory(path);
}

CStdString CPaintManagerUI::GetResourcePath() {
    {
        std::lock_guard lock(pathsMutex);
        if (!resourcePath.empty())
            return resourcePath;
    }
    return GetInstancePath();
}

void CPaintManagerUI::SetResourceZip(LPCTSTR zipFile) {
    std::lock_guard lock(pathsMutex);
    resourceZip = zipFile != nullptr ? zipFile : L"";
}

CStdString CPaintManagerUI::GetResourceZip() {
    std::lock_guard lock(pathsMutex);
    return resourceZip;
}

int CPaintManagerUI::MessageLoop() {
    return detail::RunMainLoop();
}

} // namespace DuiLib
