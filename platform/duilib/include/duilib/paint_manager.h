#pragma once
// One paint manager per window: it owns the window's control tree, lays it out, hit-tests it,
// turns mouse messages into control events and sends notifications to the window's notifiers.
// The static part holds the process-wide settings: program directory, skin archive, message loop.
#include <memory>
#include <string>
#include <vector>

#include "duilib/controls.h"
#include "duilib/std_string.h"
#include "duilib/types.h"

namespace DuiLib {

typedef struct tagTNotifyUI {
    CStdString sType; // "windowinit", "click", "itemclick", "itemselect", ...
    CControlUI* pSender = nullptr;
    uint32_t dwTimestamp = 0;
    POINT ptMouse;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
} TNotifyUI;

class INotifyUI {
public:
    virtual void Notify(TNotifyUI& msg) = 0;

protected:
    virtual ~INotifyUI() = default;
};

class IMessageFilterUI {
public:
    virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;

protected:
    virtual ~IMessageFilterUI() = default;
};

class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // The program directory; GetInstancePath returns it ending in "/" (the executable's
    // directory until SetInstance is called). SetInstance also makes the calling thread the UI
    // thread. These static settings may be read on any thread.
    static void SetInstance(LPCTSTR programDirectory);
    static CStdString GetInstancePath();
    // Where the skin archive lies, ending in "/"; the instance path until set.
    static void SetResourcePath(LPCTSTR path);
    static CStdString GetResourcePath();
    // The skin archive, relative to the resource path ("bt.dat"). Skins and images are read
    // only from it.
    static void SetResourceZip(LPCTSTR zipFile);
    static CStdString GetResourceZip();
    // Runs the UI thread's message loop until WM_QUIT; returns its exit code. The loop ends
    // for good: a later call returns 0 at once.
    static int MessageLoop();
    // Reads an image (or any entry) of the skin archive, for a backend's renderer. False when
    // the archive or the entry is missing or damaged. Any thread.
    static bool LoadSkinResource(const std::wstring& name, std::string& bytes);

    void Init(HWND hWnd);
    HWND GetPaintWindow() const;

    // Takes ownership of root, resizes the window to the skin's size and lays the tree out at
    // once; "windowinit" follows on the next turn of the message loop, after creation.
    bool AttachDialog(CControlUI* root);
    CControlUI* GetRoot() const;
    bool AddNotifier(INotifyUI* notifier);
    bool RemoveNotifier(INotifyUI* notifier);
    bool AddPreMessageFilter(IMessageFilterUI* filter);
    bool RemovePreMessageFilter(IMessageFilterUI* filter);

    CControlUI* FindControl(LPCTSTR name) const;
    CControlUI* FindControl(POINT pt) const;

    // Handles the messages the library owns (paint, mouse, size); true when handled.
    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // Runs the pre-message filters; true (with lRes) when one of them handled the message.
    // The window's dispatch calls this before the window procedure.
    bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // Sends a notification to every notifier, synchronously, on the UI thread. A notifier may
    // remove notifiers or destroy the window; the round then stops safely.
    void SendNotify(CControlUI* sender, LPCTSTR type, WPARAM wParam = 0, LPARAM lParam = 0);

    // Window attributes from the skin.
    SIZE GetInitSize() const;
    void SetInitSize(int cx, int cy);
    SIZE GetRoundCorner() const; // (0, 0) = square
    void SetRoundCorner(int cx, int cy);
    RECT GetCaptionRect() const; // left/right insets, top/bottom of the band
    void SetCaptionRect(const RECT& rc);
    uint32_t GetBkColor() const; // 0xAARRGGBB, 0 = not set
    void SetBkColor(uint32_t color);

    // For painting: the control under the mouse, and the one holding the left button.
    CControlUI* GetHotControl() const;
    CControlUI* GetPushedControl() const;
    // Asks the backend to repaint a client rectangle of the window.
    void Invalidate(const RECT& rc);
    // Draws the window into renderer, limited to dirty (client coordinates): the skin's
    // background colour (a round rectangle when the skin gives a round corner), then the
    // control tree. Called by the window's WM_PAINT handling.
    void Paint(IRenderer& renderer, const RECT& dirty);

    // Called by the library when a control is destroyed: it is no longer found or targeted.
    void ReapObjects(CControlUI* control);

private:
    friend class CControlUI;
    void RegisterName(CControlUI* control);
    void UnregisterName(CControlUI* control);
    void SendWindowInit();
    void SetHot(CControlUI* control);
    void SetPushed(CControlUI* control);

    struct State;
    std::unique_ptr<State> state_;
};

} // namespace DuiLib
