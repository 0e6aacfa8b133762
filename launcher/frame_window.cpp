// The main window's life: construction, creation of its skin, initialisation of its controls
// and configuration.
#include <wx/app.h>
#include <wx/init.h>

#include "duilib/dialog_builder.h"
#include "launcher/config/legacy_migration.h"
#include "launcher/config/setup_config.h"
#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/screen_layout.h"
#include "system/display.h"
#include "system/ticks.h"

using namespace DuiLib;

LauncherFrameWnd::LauncherFrameWnd() {
    PrepareTick = platform::GetTickCount();
    const platform::DisplayMode display = platform::CurrentDisplayMode();
    ScreenSizeMode = ScreenSizeModeFor(display.width, display.height);
    FillLayoutTable(ScreenSizeMode, LayoutTable);
    wxInitialize();
}

// Pairs the constructor's wxInitialize. The frame is freed only after every worker has stopped,
// so no thread is left inside the library.
LauncherFrameWnd::~LauncherFrameWnd() {
    wxUninitialize();
}

LPCTSTR LauncherFrameWnd::GetWindowClassName() const {
    return L"UIMainFrame";
}

UINT LauncherFrameWnd::GetClassStyle() const {
    return CS_DBLCLKS;
}

LRESULT LauncherFrameWnd::OnCreate() {
    const UINT style = GetWindowStyle(m_hWnd);
    SetWindowStyle(m_hWnd, (style & ~WS_CAPTION) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    PaintManager.Init(m_hWnd);

    CDialogBuilder builder;
    CControlUI* root = builder.Create(MainSkinFor(ScreenSizeMode), nullptr, nullptr, &PaintManager);
    if (root == nullptr) {
        // Without a skin there is no window to show; open the log so the reason is kept.
        SetLogFile();
        LOG_ERROR(L": can not load the skin %s from %s", MainSkinFor(ScreenSizeMode),
                  CPaintManagerUI::GetResourceZip().GetData());
        return -1;
    }
    PaintManager.AttachDialog(root);
    PaintManager.AddNotifier(this);
    Init();
    return 0;
}

void LauncherFrameWnd::Init() {
    LogoCtrl = PaintManager.FindControl(L"LogoCtrl");
    CloseBtn = PaintManager.FindControl(L"CloseBtn");
    MinBtn = PaintManager.FindControl(L"MinBtn");
    WebBtn = PaintManager.FindControl(L"WebBtn");
    RegisterBtn = PaintManager.FindControl(L"RegisterBtn");
    RechargeBtn = PaintManager.FindControl(L"RechargeBtn");
    ForumBtn = PaintManager.FindControl(L"ForumBtn");
    GameSetBtn = PaintManager.FindControl(L"GameSetBtn");
    EnterGameBtn = PaintManager.FindControl(L"EnterGameBtn");
    CustServiceBtn = PaintManager.FindControl(L"CustServiceBtn");

    SetLogFile();
    InstancePath = CPaintManagerUI::GetInstancePath().GetData();

    if (!SetupConfig::Instance()->Load(InstancePath + L"zel.ini"))
        LOG_ERROR(L": load zel.ini error");

    LoadResolutionIni();
    LoadVersionIni();
    InitUrls();
    LoadDoIni();
    LoadWebIni();
    LOG_MESSAGE(L": %s", L"launcher Init!");
}

// The window's object is owned by WinMain, which frees it after the workers have stopped; the
// native window may go earlier (WM_CLOSE), so nothing is freed here.
void LauncherFrameWnd::OnFinalMessage(HWND) {}
