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
    // Read and parsed once: the saves below write into the same document.
    std::string bytes;
    if (ReadSettingsBytes(path, bytes) != SettingsFileStatus::Ok)
        return false;
    SettingsDocument document(bytes, path);
    const struct {
        const wchar_t* key;
        wxString* field;
    } entries[] = {
        {L"Setup/ServerListUrl", &ServerListUrl},
        {L"Setup/UpdateVersionUrl", &UpdateVersionUrl},
        {L"Setup/WeiServer", &WeiServer},
        {L"Setup/WeiServer2", &WeiServer2},
        {L"Setup/ServerListUrl2", &ServerListUrl2},
        {L"Setup/UpdateVersionUrl2", &UpdateVersionUrl2},
        {L"Setup/NewUpdateVersionUrl1", &NewUpdateVersionUrl1},
        {L"Setup/NewUpdateVersionUrl2", &NewUpdateVersionUrl2},
        {L"Setup/ServerAddr", &ServerAddr},
        {L"Setup/ServerPort", &ServerPort},
        {L"Setup/ChargeUrl", &ChargeUrl},
        {L"Setup/ServerSid", &ServerSid},
    };
    for (const auto& entry : entries)
        ReadSettingText(document.config(), entry.key, *entry.field);
    if (DeriveNewStyleUrl(UpdateVersionUrl2, NewUpdateVersionUrl2))
        SaveInto(document);
    if (DeriveNewStyleUrl(UpdateVersionUrl, NewUpdateVersionUrl1))
        SaveInto(document);
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
    SettingsDocument document(bytes, FilePath);
    return SaveInto(document);
}

bool SetupConfig::SaveInto(SettingsDocument& document) {
    wxFileConfig& config = document.config();
    config.Write(L"Setup/ServerAddr", ServerAddr);
    config.Write(L"Setup/ServerPort", ServerPort);
    config.Write(L"Setup/ChargeUrl", ChargeUrl);
    const bool written = config.Write(L"Setup/ServerSid", ServerSid);
    return WriteSettingsFile(document, FilePath) && written;
}
