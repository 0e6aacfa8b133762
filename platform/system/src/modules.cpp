#include "system/modules.h"

#include "system/path.h"
#include "system/program_directory.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace platform {

namespace {

// A stat, not an open: dlopen opens the file itself, and a copy that cannot be read must still
// decide (and fail) rather than let a system module of that name load.
bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

ModuleHandle LoadModule(const std::wstring& nameOrPath) {
    const auto name = WideToUtf8(nameOrPath);
    if (!name || name->empty() || name->find('\0') != std::string::npos)
        return nullptr;
    constexpr int kFlags = RTLD_NOW | RTLD_LOCAL;
    if (name->find('/') != std::string::npos)
        return dlopen(name->c_str(), kFlags);
    // A copy in the program directory decides, even when it fails to load: falling back to a
    // system module of the same name would run code the installation did not ship.
    if (const auto dir = WideToUtf8(ProgramDirectory())) {
        const std::string local = *dir + *name;
        if (IsFile(local))
            return dlopen(local.c_str(), kFlags);
    }
    return dlopen(name->c_str(), kFlags);
}

void* FindModuleSymbol(ModuleHandle module, const char* name) {
    if (module == nullptr || name == nullptr)
        return nullptr;
    return dlsym(module, name);
}

void FreeModule(ModuleHandle module) {
    if (module != nullptr)
        dlclose(module);
}

} // namespace platform
