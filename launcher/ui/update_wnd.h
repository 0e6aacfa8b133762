#pragma once
// The update panel laid over the main window: the version text, the update progress (a percent
// text, a bar and a marker image that rides along the bar) and the server button. Its controls
// are touched only on the UI thread; workers reach SetProgress through ShowUpdateProgress.
#include "duilib/duilib.h"
#include "launcher/ui/server_model.h"

class LauncherFrameWnd;

class UIUpdateWnd : public DuiLib::CWindowWnd, public DuiLib::INotifyUI {
public:
    explicit UIUpdateWnd(LauncherFrameWnd* owner) : frame(owner) {}
    ~UIUpdateWnd() override = default;

    DuiLib::LPCTSTR GetWindowClassName() const override; // "UIUpdateFrame"
    DuiLib::UINT GetClassStyle() const override;         // CS_DBLCLKS
    DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam,
                                  DuiLib::LPARAM lParam) override;
    void Notify(DuiLib::TNotifyUI& msg) override;
    // WM_CREATE: the skin of the frame's screen-size mode and its five controls. Always 0: the
    // window runs without the controls its skin could not give.
    DuiLib::LRESULT OnCreate();

    // Shows percent (0 to 100): the text truncated to a whole number and "%", the bar's value
    // in proportion to its maximum, and the marker at that point. Missing controls are skipped.
    void SetProgress(float percent);
    // Places the marker's left edge 5 pixels left of the point of the bar that fraction (0 to
    // 1) marks, keeping the marker's own y and size. Nothing without the marker or the bar.
    void MoveProgressImg(float fraction);

    // UI thread. Rebuilds Areas from the frame's ServerListFileName (a scrambled list is decoded
    // first). True also for a file whose root is not a server list (the model then stays).
    bool LoadServerList();
    // UI thread. Fills the drop-down with the servers of one area; false, with the list empty,
    // when that area does not exist or has no server. Asking for the shown area changes nothing.
    bool ShowArea(int index);
    // UI thread. The version text, a fresh load shown from area 0, and the pre-selection of the
    // saved server (saved again, or the choice cleared and EnterGameBtn disabled).
    bool InitServerList();
    // The first server of the first area, or null.
    const ServerInfo* FirstServer() const;

    LauncherFrameWnd* frame = nullptr;
    DuiLib::CPaintManagerUI PaintManager;
    // Null until the skin provides them.
    DuiLib::CTextUI* CurVersionTxt = nullptr;
    DuiLib::CTextUI* ProgressTxt = nullptr;
    DuiLib::CProgressUI* ProgressCtrl = nullptr;
    DuiLib::COptionUI* ServerBtn = nullptr;
    DuiLib::CControlUI* ProgressImg = nullptr;
    ServerAreas Areas;
    int ShownArea = -1;

protected:
    // The window is gone: the object goes with it.
    void OnFinalMessage(DuiLib::HWND hWnd) override;
};
