#include "tests/platform/duilib/test_window.h"

#include <algorithm>

#include "tests/support/zip_maker.h"

namespace duilib_test {

using namespace DuiLib;

SkinDirectory::SkinDirectory(std::initializer_list<std::pair<std::string, std::string>> files) {
    std::vector<testing_support::ZipMakerEntry> entries;
    for (const auto& [name, content] : files) {
        testing_support::ZipMakerEntry entry;
        entry.name = name;
        entry.data = content;
        entries.push_back(entry);
    }
    testing_support::MakeZip(dir_.path() / "bt.dat", entries);
    InitBackend();
    CPaintManagerUI::SetInstance(dir_.wide().c_str());
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath());
    CPaintManagerUI::SetResourceZip(L"bt.dat");
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

HWND TestWindow::CreateAt(HWND owner, int x, int y, int cx, int cy, UINT style) {
    return Create(owner, L"", style, 0, x, y, cx, cy);
}

void TestWindow::Notify(TNotifyUI& msg) {
    const std::wstring sender = msg.pSender != nullptr ? msg.pSender->GetName().str() : L"";
    notifications.emplace_back(msg.sType.str(), sender);
    if (onNotify)
        onNotify(msg);
}

int TestWindow::CountOf(const std::wstring& type) const {
    return static_cast<int>(std::count_if(notifications.begin(), notifications.end(),
                                          [&](const auto& n) { return n.first == type; }));
}

std::vector<std::wstring> TestWindow::SendersOf(const std::wstring& type) const {
    std::vector<std::wstring> senders;
    for (const auto& [kind, sender] : notifications) {
        if (kind == type)
            senders.push_back(sender);
    }
    return senders;
}

LRESULT TestWindow::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    messages.push_back(uMsg);
    if (uMsg == WM_DESTROY)
        Journal().push_back(tag + ":WM_DESTROY");
    if (uMsg == WM_NCDESTROY)
        Journal().push_back(tag + ":WM_NCDESTROY");
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

void QuitOnClose(TestWindow& window) {
    window.onMessage = [](UINT uMsg, WPARAM wParam, LPARAM, LRESULT& result) {
        if (uMsg != WM_SYSCOMMAND || wParam != SC_CLOSE)
            return false;
        PostQuitMessage(0);
        result = 0;
        return true;
    };
}

} // namespace duilib_test
