#include "tests/platform/duilib/test_window.h"

#include "tests/support/program_dir.h"
#include "tests/support/zip_maker.h"

namespace duilib_test {

using namespace DuiLib;

SkinDirectory::SkinDirectory(std::initializer_list<std::pair<std::string, std::string>> files) {
    std::vector<testing_support::ZipMakerEntry> entries;
    for (const auto& [name, content] : files)
        entries.push_back({.name = name, .data = content});
    testing_support::MakeZip(dir.path() / "bt.dat", entries);
    testing_support::UseProgramDirectory(dir, false);
}

std::vector<std::string>& Journal() {
    static std::vector<std::string> journal;
    return journal;
}

TestWindow::TestWindow(std::string tagName, std::wstring skinFile)
    : tag(std::move(tagName)), skin(std::move(skinFile)) {}

TestWindow::~TestWindow() {
    Journal().push_back(tag + ":deleted");
}

HWND TestWindow::CreateAt(HWND owner, int x, int y, int cx, int cy) {
    return Create(owner, L"", WS_POPUP | WS_VISIBLE, 0, x, y, cx, cy);
}

void TestWindow::Notify(TNotifyUI& msg) {
    notifications.emplace_back(msg.sType.str(), msg.pSender ? msg.pSender->GetName().str() : L"");
    if (onNotify)
        onNotify(msg);
}

std::vector<std::wstring> TestWindow::SendersOf(const std::wstring& type) const {
    std::vector<std::wstring> senders;
    for (const auto& [kind, sender] : notifications)
        if (kind == type)
            senders.push_back(sender);
    return senders;
}

LRESULT TestWindow::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    messages.push_back(uMsg);
    if (uMsg == WM_DESTROY || uMsg == WM_NCDESTROY)
        Journal().push_back(tag + (uMsg == WM_DESTROY ? ":WM_DESTROY" : ":WM_NCDESTROY"));
    LRESULT result = 0;
    if (onMessage && onMessage(uMsg, wParam, lParam, result))
        return result;
    if (uMsg == WM_CREATE) {
        manager.Init(GetHWND());
        if (!skin.empty()) {
            CDialogBuilder builder;
            CControlUI* root = builder.Create(skin.c_str(), nullptr, nullptr, &manager);
            if (root == nullptr)
                return -1;
            manager.AttachDialog(root);
        }
        manager.AddNotifier(this);
        return 0;
    }
    if (manager.MessageHandler(uMsg, wParam, lParam, result))
        return result;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void TestWindow::OnFinalMessage(HWND /*hWnd*/) {
    Journal().push_back(tag + ":final");
    if (deleteOnFinalMessage)
        delete this;
}

} // namespace duilib_test
