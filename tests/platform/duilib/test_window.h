#pragma once
// What the UI library's tests share: a program directory with a skin archive made by the test,
// and a window written the way the launcher writes its windows.
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "duilib/backend.h"
#include "duilib/duilib.h"
#include "tests/support/temp_dir.h"

namespace duilib_test {

// A temporary program directory whose "bt.dat" holds the given files (name, content); the
// library is pointed at it and the headless backend is started.
struct SkinDirectory {
    SkinDirectory(std::initializer_list<std::pair<std::string, std::string>> files);
    testing_support::TempDir dir;
};

// One line per lifecycle step of every TestWindow, e.g. "popup:WM_DESTROY", in order.
std::vector<std::string>& Journal();

class TestWindow : public DuiLib::CWindowWnd, public DuiLib::INotifyUI {
public:
    explicit TestWindow(std::string tag, std::wstring skin = L"");
    ~TestWindow() override;

    DuiLib::LPCTSTR GetWindowClassName() const override { return L"TestWindow"; }
    void Notify(DuiLib::TNotifyUI& msg) override;
    // A visible popup at (x, y) of size (cx, cy), owned by owner.
    DuiLib::HWND CreateAt(DuiLib::HWND owner, int x, int y, int cx, int cy);
    // The names of the senders of each notification of this type, in order.
    std::vector<std::wstring> SendersOf(const std::wstring& type) const;

    DuiLib::CPaintManagerUI manager;
    std::string tag;
    std::wstring skin;
    std::vector<DuiLib::UINT> messages;
    std::vector<std::pair<std::wstring, std::wstring>> notifications; // type, sender name
    // Runs before the window's own handling; true means handled with the given result.
    std::function<bool(DuiLib::UINT, DuiLib::WPARAM, DuiLib::LPARAM, DuiLib::LRESULT&)> onMessage;
    std::function<void(DuiLib::TNotifyUI&)> onNotify;
    bool deleteOnFinalMessage = false;

protected:
    DuiLib::LRESULT HandleMessage(DuiLib::UINT uMsg, DuiLib::WPARAM wParam,
                                  DuiLib::LPARAM lParam) override;
    void OnFinalMessage(DuiLib::HWND hWnd) override;
};

} // namespace duilib_test
