#include "system/program_directory.h"

#include <mutex>

#include "system/path.h"

namespace platform {

namespace {

std::mutex directoryMutex; // read by worker threads too
std::wstring programDirectory;

} // namespace

void SetProgramDirectory(std::wstring_view directory) {
    std::wstring normalised = NormaliseSeparators(directory);
    if (!normalised.empty() && normalised.back() != L'/')
        normalised += L'/';
    std::lock_guard lock(directoryMutex);
    programDirectory = std::move(normalised);
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
