#pragma once
// The backend for runs without a display: windows exist only as the core's records, the queue
// waits on a condition variable, message boxes and browser navigations are recorded.
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "duilib/headless.h"
#include "duilib/window_backend.h"

namespace DuiLib::detail {

class HeadlessBackend final : public WindowBackend {
public:
    BackendKind Kind() const override { return BackendKind::Headless; }
    // Installs the display provider (LAUNCHER_SCREEN; the depth cannot be changed) and the
    // SIGTERM/SIGINT handling.
    void Start() override;

    void CreateWindow(HWND, HWND, const std::wstring&, UINT, const RECT&) override {}
    void DestroyWindow(HWND hwnd) override { invalidated.erase(hwnd); }
    void SetBounds(HWND, const RECT&) override {}
    void SetStyle(HWND, UINT) override {}
    void SetTitle(HWND, const std::wstring&) override {}
    void Show(HWND, bool, bool) override {}
    void Enable(HWND, bool) override {}
    void SetShowState(HWND, bool, bool) override {}
    void SetRoundRegion(HWND, const RECT&, SIZE) override {}
    void BeginModal(HWND) override {}
    void EndModal(HWND) override {}
    void Invalidate(HWND hwnd, const RECT& clientRect) override;

    void WaitForWork(std::chrono::milliseconds timeout) override;
    void Wake() override;

    int MessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                   UINT type) override;
    std::unique_ptr<EmbeddedBrowser> CreateBrowser(HWND hwnd) override;
    int ChooseListItem(HWND, const RECT&, const std::vector<std::wstring>&, int) override {
        return -1; // no drop-down without a display; tests select items directly
    }
    SIZE ScreenSize() override;
    RECT WorkArea(HWND hwnd) override;
    POINT CursorPos() override { return cursor_; }

    // Recorded for tests (UI thread).
    void SetCursorPos(POINT screenPoint) { cursor_ = screenPoint; }
    std::vector<Headless::MessageBoxRecord> messageBoxes;
    std::function<int(const Headless::MessageBoxRecord&)> messageBoxHandler;
    struct BrowserLog {
        bool silent = false;
        std::vector<std::wstring> navigations;
        std::wstring errorPage;
    };
    std::map<HWND, BrowserLog> browsers;
    // The union of the rectangles asked to be repainted, per window, since tests last took it.
    std::map<HWND, RECT> invalidated;

private:
    std::mutex wakeMutex_;
    std::condition_variable wakeCv_;
    bool woken_ = false;
    POINT cursor_;
};

std::unique_ptr<WindowBackend> MakeHeadlessBackend();
// The active backend when it is the headless one, else null (UI thread).
HeadlessBackend* ActiveHeadless();

} // namespace DuiLib::detail
