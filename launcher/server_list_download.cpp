#include "launcher/server_list_download.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>

#include "launcher/launcher.h"
#include "launcher/limits.h"
#include "launcher/log.h"
#include "net/http_download.h"
#include "system/atomic_replace.h"
#include "system/path.h"
#include "system/regular_file.h"

namespace {

constexpr int Cycles = 3;
constexpr uint32_t MinimumListBytes = 4;

} // namespace

bool DownloadFile(long connectTimeout, const wxString& url, const wxString& outputPath,
                  const std::atomic<bool>* abort) {
    const auto destination = platform::ToPath(outputPath.ToStdWstring());
    const auto address = platform::WideToUtf8(url.ToStdWstring());
    if (!destination || !address)
        return false;
    net::DownloadOptions options;
    options.connectTimeout = std::chrono::seconds(connectTimeout);
    options.stallLimit = kServerListStallLimit;
    options.maxRedirects = 0;
    options.maxBytes = kMaxServerListBytes;
    options.abort = abort;
    const net::DownloadResult result = net::DownloadToFile(*address, *destination, options);
    // The log keeps the pass's own records; why an attempt failed goes to standard error.
    if (!result.Ok() && !url.empty())
        std::fprintf(stderr, "server list %s: %s\n", address->c_str(), result.detail.c_str());
    return result.Ok();
}

bool DownLoadServerListFile(const wxString& programDir, const wxString& url1, const wxString& url2,
                            const std::atomic<bool>* abort) {
    const wxString live = programDir + L"ServerList.xml";
    const wxString temp = programDir + L"ServerListTemp.xml";
    bool downloaded = false;
    for (int cycle = 0; cycle < Cycles && !downloaded; ++cycle) {
        if (abort != nullptr && abort->load())
            break;
        downloaded = DownloadFile(kServerListConnectSeconds, url1, temp, abort);
        if (!downloaded && !url2.empty())
            downloaded = DownloadFile(kServerListConnectSeconds, url2, temp, abort);
    }

    const auto tempPath = platform::ToPath(temp.ToStdWstring());
    if (!tempPath)
        return false;
    std::error_code ec;
    // An abandoned pass leaves nothing behind and says nothing.
    if (abort != nullptr && abort->load()) {
        std::filesystem::remove(*tempPath, ec);
        return false;
    }
    const uint32_t size = LauncherFrameWnd::GetFileSize(temp);
    const auto livePath = platform::ToPath(live.ToStdWstring());
    if (downloaded && livePath && size >= MinimumListBytes) {
        platform::OpenedFile list = platform::OpenRegular(*tempPath, O_RDONLY | O_NOFOLLOW);
        if (platform::CommitFileInto(list.fd, *tempPath, *livePath))
            return true;
        LOG_ERROR(L": can not replace %s: %s", live, wxString::FromUTF8(std::strerror(errno)));
    }
    std::filesystem::remove(*tempPath, ec);
    return false;
}
