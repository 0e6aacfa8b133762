#include "launcher/update/update_controls.h"

#include <functional>

#include "duilib/ui_thread.h"
#include "duilib/window.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/ui/server_model.h"
#include "launcher/ui/update_wnd.h"

const wchar_t NetworkHelpMessage[] =
    L"尝试以下方法解决网络问题！(也可以确定后，直接尝试点击进入游戏) \n"
    L" 1、360断网急救箱 \n"
    L" 2、重启路由器（如果电脑连接的是路由器） \n"
    L" 3、重启光猫 \n"
    L" 4、给宽带客服打电话（比如电信10000（1万号）），请求刷新网络端口";

namespace {

// Runs change on the UI thread with the frame, when there still is one.
void OnUiThread(std::function<void(LauncherFrameWnd&)> change) {
    DuiLib::PostAndWait([&change] {
        if (LauncherFrameWnd* frame = TheLauncherFrame.load())
            change(*frame);
    });
}

} // namespace

void SetEnterGameEnabled(bool enabled) {
    OnUiThread([enabled](LauncherFrameWnd& frame) {
        if (frame.EnterGameBtn != nullptr)
            frame.EnterGameBtn->SetEnabled(enabled);
    });
}

void EnableEnterGameForChosenServer() {
    SetEnterGameEnabled(SelectedServer().IsComplete());
}

void ShowUpdateServerAnswered() {
    OnUiThread([](LauncherFrameWnd& frame) {
        UIUpdateWnd* window = frame.UpdateWnd.load();
        if (window == nullptr)
            return;
        // The whole display says 100: a full bar beside "0%" would contradict itself.
        window->SetProgress(100.0f);
    });
}

void ShowCurrentVersion(const wxString& text) {
    OnUiThread([&text](LauncherFrameWnd& frame) {
        UIUpdateWnd* window = frame.UpdateWnd.load();
        if (window != nullptr && window->CurVersionTxt != nullptr)
            window->CurVersionTxt->SetText(text.wc_str());
    });
}

void ShowNetworkHelp() {
    LauncherFrameWnd* frame = TheLauncherFrame.load();
    DuiLib::MessageBox(frame != nullptr ? frame->GetHWND() : nullptr, NetworkHelpMessage,
                       L"连接更新服务器失败", DuiLib::MB_OK | DuiLib::MB_ICONERROR);
}
