// The update window's server model: loading "ServerList.xml", filling the drop-down one area at
// a time, the player's click on a server and the pre-selection after a load. Everything here
// runs on the UI thread: list items point at the model's records, so the model changes only
// where the items live.
#include <mutex>

#include "launcher/config/scrambled_ini.h"
#include "launcher/config/settings_mutex.h"
#include "launcher/config/setup_config.h"
#include "launcher/config/version_config.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/ui/server_list_wnd.h"
#include "launcher/ui/update_wnd.h"

using namespace DuiLib;

namespace {

CListUI* DropDownList(LauncherFrameWnd* frame) {
    UIServerListWnd* dropDown = frame != nullptr ? frame->ServerListWnd : nullptr;
    return dropDown != nullptr ? dropDown->List : nullptr;
}

// The player's choice goes into "zel.ini" at once.
void SaveChoice(const ServerChoice& choice) {
    std::lock_guard<std::recursive_mutex> lock(SettingsMutex());
    SetupConfig* setup = SetupConfig::Instance();
    setup->ServerAddr = choice.address.GetData();
    setup->ServerSid = choice.sid.GetData();
    setup->ServerPort = choice.port.GetData();
    setup->ChargeUrl = choice.chargeIp.GetData();
    setup->Save();
}

// UI thread: a press on a server item chooses it.
bool OnServerItemEvent(void* param) {
    const auto* event = static_cast<const TEventUI*>(param);
    if (event == nullptr || event->Type != UIEVENT_BUTTONDOWN || event->pSender == nullptr)
        return true;
    const auto* server = static_cast<const ServerInfo*>(event->pSender->GetUserPtrData());
    if (server == nullptr)
        return true;
    const ServerChoice choice{server->address.Wide(), server->port.Wide(), server->chargeIp.Wide(),
                              server->sid.Wide()};
    SetSelectedServer(choice);
    SaveChoice(choice);
    LauncherFrameWnd* frame = TheLauncherFrame.load();
    if (frame != nullptr && frame->EnterGameBtn != nullptr)
        frame->EnterGameBtn->SetEnabled(true);
    return true;
}

} // namespace

bool UIUpdateWnd::LoadServerList() {
    if (frame == nullptr || frame->ServerListFileName.IsEmpty())
        return false;
    ServerListLoad load =
        LoadServerListFile(frame->ServerListFileName.GetData(), ScrambleKey.ToStdWstring());
    if (load.status == ServerListStatus::Failed) {
        LOG_ERROR(L": can not load the server list: %s", wxString::FromUTF8(load.reason));
        return false;
    }
    if (load.status == ServerListStatus::NotServerList)
        return true;
    // The items point at the old records: they go first.
    if (CListUI* list = DropDownList(frame))
        list->RemoveAll();
    Areas = std::move(load.areas);
    return true;
}

bool UIUpdateWnd::ShowArea(int index) {
    if (index == ShownArea)
        return true;
    ShownArea = index;
    if (frame == nullptr || frame->ServerListWnd == nullptr)
        return false;
    CListUI* list = DropDownList(frame);
    if (list != nullptr)
        list->RemoveAll();
    if (index < 0 || static_cast<size_t>(index) >= Areas.size() ||
        Areas[static_cast<size_t>(index)].servers.empty())
        return false;
    if (list == nullptr)
        return false;
    // Only the rows shown get wide text; the records hold the list's own bytes.
    for (ServerInfo& server : Areas[static_cast<size_t>(index)].servers) {
        auto* item = new CListLabelElementUI();
        if (!list->Add(item)) {
            delete item;
            continue;
        }
        item->SetText(server.name.Wide().GetData());
        item->SetUserPtrData(&server);
        item->OnEvent += MakeDelegate(&OnServerItemEvent);
    }
    return true;
}

bool UIUpdateWnd::InitServerList() {
    if (CurVersionTxt != nullptr) {
        wxString version, launcherVersion;
        {
            std::lock_guard<std::recursive_mutex> lock(SettingsMutex());
            version = VersionConfig::Instance()->Version;
            launcherVersion = VersionConfig::Instance()->LVersion;
        }
        // Plain text comparison, as the versions have always been compared.
        CurVersionTxt->SetText(
            (version.ToStdWstring() > launcherVersion.ToStdWstring() ? version : launcherVersion)
                .wc_str());
    }
    if (!LoadServerList())
        return false;
    ShownArea = -1;
    if (DropDownList(frame) != nullptr) {
        if (!ShowArea(0))
            return false;
        frame->ServerListWnd->AdjustPosition();
    }

    ServerChoice saved;
    {
        std::lock_guard<std::recursive_mutex> lock(SettingsMutex());
        const SetupConfig* setup = SetupConfig::Instance();
        saved = {setup->ServerAddr.wc_str(), setup->ServerPort.wc_str(), L"",
                 setup->ServerSid.wc_str()};
    }
    const ServerPreselection pick = PreselectServer(Areas, saved, SelectedServer());
    SetSelectedServer(pick.values);
    if (ServerBtn != nullptr && pick.serverButtonText)
        ServerBtn->SetText(pick.serverButtonText->GetData());
    if (pick.clearChoice) {
        if (frame->EnterGameBtn != nullptr)
            frame->EnterGameBtn->SetEnabled(false);
    } else {
        SaveChoice(pick.values);
    }
    return true;
}

const ServerInfo* UIUpdateWnd::FirstServer() const {
    if (Areas.empty() || Areas.front().servers.empty())
        return nullptr;
    return &Areas.front().servers.front();
}
