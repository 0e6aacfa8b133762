#include "launcher/update/delete_directory.h"

#include "system/file_operations.h"
#include "system/path.h"

bool DeleteDirectory(const wxString& path) {
    const auto target = platform::ToPath(path.ToStdWstring());
    return target && platform::DeleteTree(*target);
}
