#pragma once
// The launcher's one main window and the state the UI thread, the workers and the live-update
// callbacks share. Members keep the order of the original design; members marked "shared" are
// touched by worker threads too and are atomics. Operations are defined in the files of the
// folders that own them (config/, ui/, update/).
#include <atomic>
#include <cstdint>

#include <wx/log.h>
#include <wx/string.h>

#include "duilib/paint_manager.h"
#include "duilib/std_string.h"
#include "duilib/types.h"
#include "duilib/window.h"
#include "launcher/screen_layout.h"

class UIUpdateWnd;
class UIServerListWnd;
class UINewsWnd;
class UINews2Wnd;
class UITopWnd;
class LivePatchModule;

class LauncherFrameWnd : public DuiLib::CWindowWnd, public DuiLib::INotifyUI {
public:
    LauncherFrameWnd();
    ~LauncherFrameWnd() override;

    DuiLib::LPCTSTR GetWindowClassName() const override;
    DuiLib::UINT GetClassStyle() const override;
    DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam,
                                  DuiLib::LPARAM lParam) override;
    void OnFinalMessage(DuiLib::HWND hWnd) override;
    void Notify(DuiLib::TNotifyUI& msg) override;

    DuiLib::LRESULT OnCreate();
    void Init();
    bool ForceColorDepth32();
    void ReleaseChildren();

    void SetLogFile();
    void InitUrls();
    void LoadDoIni();
    void LoadWebIni();
    void OnPrepare();
    void StartGame();
    bool CheckVersion();
    bool FileTranvers(wxString src, wxString base, bool isTre);
    static uint32_t GetFileSize(const wxString& path);
    bool MergeDataFiles(const wxString& source, const wxString& destination);

    // Worker functions (their argument is ignored; they work on TheLauncherFrame).
    static void LoadServerListFromXml(void* param);
    static void LinkUpdate(void* param);
    // The live-update module's callbacks; they work on TheLauncherFrame.
    static int liveUpdateProgress(void* context, double total, double done);
    static void liveUpdateProcess(const wchar_t* fileName, int bytesDone, int bytesTotal,
                                  bool finished, LivePatchModule* patchModule, bool launcherStep,
                                  bool noHandOver);

    DuiLib::CPaintManagerUI PaintManager;
    DuiLib::CStdString ServerListFileName;          // UI thread (workers set it there)
    wxString InstancePath;                          // shared, read only after Init
    std::atomic<bool> UpdateNeeded{false};          // shared
    std::atomic<uint64_t> InstallTotal{0};          // shared
    std::atomic<uint64_t> InstallDone{0};           // shared
    std::atomic<wxLog*> LogTarget{nullptr};         // shared, owned by the log
    std::atomic<bool> SelfUpdatePending{false};     // shared
    wxString SelfUpdaterPath;                       // shared
    wxString SelfUpdateSourceDir;                   // shared
    std::atomic<bool> UpdateConnected{false};       // shared
    std::atomic<bool> WindowPrepared{false};        // shared
    std::atomic<bool> LoadServerListRequest{false}; // shared
    std::atomic<uint32_t> PrepareTick{0};           // shared
    int ScreenSizeMode = 0;
    std::atomic<UIUpdateWnd*> UpdateWnd{nullptr}; // shared, owned
    LayoutOffset LayoutTable[5];                  // UI thread
    DuiLib::CControlUI* GameSetBtn = nullptr;
    UIServerListWnd* ServerListWnd = nullptr; // UI thread, owned
    DuiLib::CControlUI* RegisterBtn = nullptr;
    DuiLib::CControlUI* EnterGameBtn = nullptr; // UI thread (workers switch it there)
    wxString Top600Url, Left600Url, Right600Url, TopUrl, RightUrl, LeftUrl, WebsiteUrl;
    wxString RegisterUrl;
    DuiLib::CControlUI* LogoCtrl = nullptr;
    DuiLib::CControlUI* CloseBtn = nullptr;
    DuiLib::CControlUI* MinBtn = nullptr;
    DuiLib::CControlUI* WebBtn = nullptr;
    DuiLib::CControlUI* RechargeBtn = nullptr;
    DuiLib::CControlUI* ForumBtn = nullptr;
    DuiLib::CControlUI* CustServiceBtn = nullptr;
    UINewsWnd* NewsWnd = nullptr;                       // owned
    UINews2Wnd* News2Wnd = nullptr;                     // owned
    UITopWnd* TopWnd = nullptr;                         // owned
    std::atomic<LivePatchModule*> PatchModule{nullptr}; // shared
    wxString ServerListUrl1, ServerListUrl2;            // shared, read only after Init
    wxString UpdateVersionUrl1, UpdateVersionUrl2, CDNUpdateVersionUrl; // shared, read only
    wxString WeiServer, WeiServer2;
    wxString RechargeUrl, BBSUrl;
    wxString Web404Url;
};
