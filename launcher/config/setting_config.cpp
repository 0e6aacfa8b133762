#include "launcher/config/setting_config.h"

#include <mutex>

#include "launcher/config/settings_file.h"
#include "launcher/config/settings_mutex.h"
#include "system/message_box.h"

SettingConfig* SettingConfig::Instance() {
    static SettingConfig instance;
    return &instance;
}

bool SettingConfig::Load(wxString path) {
    if (path.empty())
        return false;
    {
        std::lock_guard lock(SettingsMutex());
        FilePath = path;
        if (auto document = OpenSettingsFile(path)) {
            const wxFileConfig& config = document->config();
            ReadSettingFlag(config, L"Setting/FullScreen", FullScreen);
            ReadSettingText(config, L"Setting/Resolution", Resolution);
            // Installations from before the numbered codes stored the size itself.
            if (Resolution == L"800*600")
                Resolution = L"0";
            else if (Resolution == L"1024*768")
                Resolution = L"1";
            ReadSettingFlag(config, L"Setting/Voice", Voice);
            return true;
        }
    }
    platform::ShowMessageBox(L"游戏无法启动，缺少 Resolution.ini 文件或重新安装游戏！", L"错误",
                             platform::kMessageBoxOk);
    return false;
}

bool SettingConfig::Save() {
    std::lock_guard lock(SettingsMutex());
    auto document = OpenSettingsFile(FilePath);
    if (!document)
        return false;
    wxFileConfig& config = document->config();
    config.Write(L"Setting/FullScreen", FullScreen);
    config.Write(L"Setting/Resolution", Resolution);
    const bool written = config.Write(L"Setting/Voice", Voice);
    return WriteSettingsFile(*document, FilePath) && written;
}
