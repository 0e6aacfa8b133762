#include "launcher/update/skipped_modules.h"

#include <string>

bool IsSkippedModule(const wxString& lowerCasedPath) {
    const std::wstring path = lowerCasedPath.ToStdWstring();
    for (std::wstring_view name : SkippedModuleList) {
        if (std::wstring_view(path).ends_with(name))
            return true;
    }
    return false;
}
