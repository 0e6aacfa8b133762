#include "system/program_directory.h"

#include <mutex>

#include "system/path.h"

namespace platform {

namespace {

std::mutex directoryMutex; // read by worker threads too
std::wstring programDirectory;

} // namespace

// The directory is the system's own path: "\" is an ordinary character in a name here, so it is
// never turned into a separator (a directory "a\..\b" is not "a/../b").
void SetProgramDirectory(std::wstring_view directory) {
    std::wstring asDirectory(directory);
    if (!asDirectory.empty() && asDirectory.back() != L'/')
        asDirectory += L'/';
    std::lock_guard lock(directoryMutex);
    programDirectory = std::move(asDirectory);
}

std::wstring ProgramDirectory() {
    {
        std::lock_guard lock(directoryMutex);
        if (!programDirectory.empty())
            return programDirectory;
    }
    return ExecutableDirectory();
}

} // namespace platform
