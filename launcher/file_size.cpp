// The launcher's size rule for one file: whatever cannot be measured counts as 1 byte, so a
// missing or unreadable file never passes a caller's "holds more than 3 bytes" test.
#include <cstdint>
#include <filesystem>
#include <limits>

#include "launcher/launcher.h"
#include "launcher/log.h"
#include "system/path.h"

// Any thread; it keeps no state.
uint32_t LauncherFrameWnd::GetFileSize(const wxString& path) {
    const auto file = platform::ToPath(path.ToStdWstring());
    std::error_code ec;
    if (!file || !std::filesystem::is_regular_file(*file, ec)) {
        LOG_ERROR(L": pathList.xml %s error in update server", path);
        return 1;
    }
    const std::uintmax_t size = std::filesystem::file_size(*file, ec);
    if (ec) {
        LOG_ERROR(L": file %s read error,please check your update server config,eg "
                  L"pathList.xml and file dir whether exsits!",
                  path);
        return 1;
    }
    // 4 GiB and more do not fit the 32-bit result; no record for those.
    if (size > std::numeric_limits<uint32_t>::max())
        return 1;
    return static_cast<uint32_t>(size);
}
