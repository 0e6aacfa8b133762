#include "launcher/config/setup_config.h"

#include <mutex>

#include "launcher/config/settings_file.h"
#include "launcher/config/settings_mutex.h"

namespace {

// Newer update servers publish "<list>_newStyle.xml" beside the old "<list>.xml"; the rule
// looks for the last dot anywhere in the address, host included.
bool DeriveNewStyleUrl(const wxString& oldStyle, wxString& newStyle) {
    if (!newStyle.empty() || oldStyle.empty())
        return false;
    const int dot = oldStyle.Find(L'.', true);
    if (dot == wxNOT_FOUND)
        return false;
    newStyle = oldStyle.Left(static_cast<size_t>(dot)) + L"_newStyle.xml";
    return true;
}

} // namespace

SetupConfig* SetupConfig::Instance() {
    static SetupConfig instance;
    return &instance;
}

bool SetupConfig::Load(wxString path) {
    if (path.empty())
        return false;
    std::lock_guard lock(SettingsMutex());
    FilePath = path;
    // Read once: the saves below start from these bytes too.
    std::string bytes;
    if (ReadSettingsBytes(path, bytes) != SettingsFileStatus::Ok)
        return false;
    {
        SettingsDocument document(bytes, path);
        const wxFileConfig& config = document.config();
        ReadSettingText(config, L"Setup/ServerListUrl", ServerListUrl);
        ReadSettingText(config, L"Setup/UpdateVersionUrl", UpdateVersionUrl);
        ReadSettingText(config, L"Setup/WeiServer", WeiServer);
        ReadSettingText(config, L"Setup/WeiServer2", WeiServer2);
        ReadSettingText(config, L"Setup/ServerListUrl2", ServerListUrl2);
        ReadSettingText(config, L"Setup/UpdateVersionUrl2", UpdateVersionUrl2);
        ReadSettingText(config, L"Setup/NewUpdateVersionUrl1", NewUpdateVersionUrl1);
        ReadSettingText(config, L"Setup/NewUpdateVersionUrl2", NewUpdateVersionUrl2);
        ReadSettingText(config, L"Setup/ServerAddr", ServerAddr);
        ReadSettingText(config, L"Setup/ServerPort", ServerPort);
        ReadSettingText(config, L"Setup/ChargeUrl", ChargeUrl);
        ReadSettingText(config, L"Setup/ServerSid", ServerSid);
    }
    if (DeriveNewStyleUrl(UpdateVersionUrl2, NewUpdateVersionUrl2))
        SaveOver(bytes);
    if (DeriveNewStyleUrl(UpdateVersionUrl, NewUpdateVersionUrl1))
        SaveOver(bytes);
    return true;
}

bool SetupConfig::Save() {
    std::lock_guard lock(SettingsMutex());
    std::string bytes;
    switch (ReadSettingsBytes(FilePath, bytes)) {
    case SettingsFileStatus::Ok:
        break;
    case SettingsFileStatus::Missing:
        bytes.clear(); // the first save creates the file
        break;
    case SettingsFileStatus::Unreadable:
        return false;
    }
    return SaveOver(bytes);
}

bool SetupConfig::SaveOver(std::string& bytes) {
    SettingsDocument document(bytes, FilePath);
    wxFileConfig& config = document.config();
    config.Write(L"Setup/ServerAddr", ServerAddr);
    config.Write(L"Setup/ServerPort", ServerPort);
    config.Write(L"Setup/ChargeUrl", ChargeUrl);
    const bool written = config.Write(L"Setup/ServerSid", ServerSid);
    if (!WriteSettingsFile(document, FilePath))
        return false;
    document.Serialise(bytes);
    return written;
}
