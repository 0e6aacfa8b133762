#include "launcher/winmain.h"

#include "duilib/backend.h"
#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "launcher/config/stale_temporaries.h"
#include "launcher/config/web_ini_setting.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/minidumper.h"
#include "launcher/mythread.h"
#include "net/http_download.h"

using namespace DuiLib;

namespace {

constexpr int MainWindowWidth = 800;
constexpr int MainWindowHeight = 572;
constexpr int LogoLeft = 290;
constexpr int LogoTop = 10;
// Workers get this long to notice the stop flag before the frame is released.
constexpr unsigned WorkerStopTimeoutMs = 1500;

bool CreateMainWindow(LauncherFrameWnd& frame) {
    const WebIniSetting setting = ReadWebIniSetting();
    const wxString title = setting.present ? setting.title : wxString(DefaultAppTitle);
    const HWND hwnd = frame.Create(nullptr, title.wc_str(), WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0, 0,
                                   0, MainWindowWidth, MainWindowHeight);
    if (setting.present)
        DeleteWebIniCopy();
    if (hwnd == nullptr || frame.PaintManager.GetRoot() == nullptr)
        return false;
    if (setting.present && frame.LogoCtrl != nullptr) {
        frame.LogoCtrl->SetBkImage(setting.logo.wc_str());
        frame.LogoCtrl->SetPos(
            {LogoLeft, LogoTop, LogoLeft + setting.logoWidth, LogoTop + setting.logoHeight});
    }
    return true;
}

// After the loop: stop the workers, then release the children, the log and the frame once.
// False when a worker did not stop: then nothing it may still use is released.
bool ReleaseFrame() {
    LauncherFrameWnd* frame = TheLauncherFrame.load();
    if (frame == nullptr)
        return true;
    if (!StopWorkersAndWait(WorkerStopTimeoutMs)) {
        // A worker still runs and may touch the frame: keep it alive; the process ends now.
        LOG_ERROR(L": %d worker threads did not stop, leaving the main window alive",
                  RunningWorkers());
        return false;
    }
    frame->ReleaseChildren();
    if (IsWindow(frame->GetHWND()))
        DestroyWindow(frame->GetHWND());
    TheLauncherFrame = nullptr;
    delete frame;
    return true;
}

} // namespace

int WinMain(LPCTSTR instance, void*, const char*, int) {
    // The dumper stays registered, and alive, until the process ends.
    if (RegisteredDumper.load() == nullptr) {
        auto* dumper = new MiniDumper;
        InstallCrashFilter();
        dumper->silent = 1;
        RegisteredDumper = dumper;
    }

    InitBackend();
    // Without a display the log keeps what a message box said.
    Headless::SetMessageBoxSink([](const Headless::MessageBoxRecord& box) {
        LogMessageBox(wxString(box.caption), wxString(box.text));
    });
    CPaintManagerUI::SetInstance(instance);
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath());
    CPaintManagerUI::SetResourceZip(L"bt.dat");
    // A run killed while it replaced one of its files leaves the temporary sibling behind.
    RemoveStaleTemporaryFiles();

    auto* frame = new LauncherFrameWnd();
    TheLauncherFrame = frame;

    if (!CreateMainWindow(*frame)) {
        ReleaseFrame();
        return 0;
    }
    frame->CenterWindow();
    net::InitializeNetwork();

    // The update worker waits for the prepared window, so it starts before the loop.
    auto* updateWorker = new MyThread(frame, &LauncherFrameWnd::LinkUpdate);
    if (updateWorker->Create(0) != wxTHREAD_NO_ERROR) {
        LOG_ERROR_IN_ANY_CASE(L"Can't create the update thread!");
        delete updateWorker;
    } else if (updateWorker->Run() != wxTHREAD_NO_ERROR) {
        LOG_ERROR_IN_ANY_CASE(L"The UpdateThread run Error!");
        delete updateWorker;
    }

    CPaintManagerUI::MessageLoop();

    // A worker still running may be inside a transfer: the library stays as it is.
    if (ReleaseFrame())
        net::CleanupNetwork();
    return 0;
}
