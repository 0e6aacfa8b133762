#include "launcher/config/version_config.h"

#include <mutex>

#include "launcher/config/settings_file.h"
#include "launcher/config/settings_mutex.h"
#include "system/message_box.h"

VersionConfig* VersionConfig::Instance() {
    static VersionConfig instance;
    return &instance;
}

bool VersionConfig::Load(wxString path) {
    if (path.empty())
        return false;
    {
        std::lock_guard lock(SettingsMutex());
        FilePath = path;
        if (auto document = OpenSettingsFile(path)) {
            if (!ReadSettingText(document->config(), L"Version/Version", Version))
                return false;
            if (!ReadSettingText(document->config(), L"Version/LVersion", LVersion))
                LVersion.clear();
            return true;
        }
    }
    platform::ShowMessageBox(L"游戏无法启动，缺少 Version.ini 文件或重新安装游戏！", L"错误",
                             platform::kMessageBoxOk);
    return false;
}

bool VersionConfig::Save() {
    std::lock_guard lock(SettingsMutex());
    auto document = OpenSettingsFile(FilePath);
    if (!document)
        return false;
    wxFileConfig& config = document->config();
    config.Write(L"Version/Version", Version);
    const bool written = config.Write(L"Version/LVersion", LVersion);
    return WriteSettingsFile(*document, FilePath) && written;
}
