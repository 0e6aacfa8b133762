#include "headless_backend.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>

#include "system/display.h"
#include "system/path.h"
#include "termination_signals.h"

namespace DuiLib::detail {

namespace {

constexpr platform::DisplayMode kDefaultScreen{1024, 768, 32};

bool TakeNumber(std::string_view& text, int& value) {
    const size_t end = text.find('x');
    const std::string_view digits = text.substr(0, end);
    if (digits.empty() || digits.size() > 6)
        return false;
    value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    // An "x" must be followed by another number.
    return value > 0 && (end == std::string_view::npos || !text.empty());
}

// "WxH" or "WxHxBITS"; anything else gives the default screen.
platform::DisplayMode ScreenFromEnvironment() {
    const char* value = std::getenv("LAUNCHER_SCREEN");
    if (value == nullptr)
        return kDefaultScreen;
    std::string_view text(value);
    platform::DisplayMode mode = kDefaultScreen;
    if (!TakeNumber(text, mode.width) || !TakeNumber(text, mode.height))
        return kDefaultScreen;
    if (!text.empty() && (!TakeNumber(text, mode.bitsPerPixel) || !text.empty()))
        return kDefaultScreen;
    return mode;
}

class HeadlessBrowser final : public EmbeddedBrowser {
public:
    HeadlessBrowser(HeadlessBackend& backend, HWND hwnd) : backend_(backend), hwnd_(hwnd) {}
    void put_Silent(bool silent) override { backend_.browsers[hwnd_].silent = silent; }
    bool Navigate(LPCTSTR url) override {
        backend_.browsers[hwnd_].navigations.push_back(url != nullptr ? url : L"");
        return true;
    }
    void SetErrorPage(LPCTSTR url) override {
        backend_.browsers[hwnd_].errorPage = url != nullptr ? url : L"";
    }
    void SetBounds(const RECT&) override {}
    void SetVisible(bool) override {}

private:
    HeadlessBackend& backend_; // backends live as long as the process
    HWND hwnd_;
};

std::mutex sinkMutex;
std::function<void(const Headless::MessageBoxRecord&)> messageBoxSink;

std::string Utf8OrMark(const std::wstring& text) {
    return platform::WideToUtf8(text).value_or("(text that cannot be shown)");
}

// One write per box, so that lines of other writers do not cut into it.
void ShowOnStandardError(const Headless::MessageBoxRecord& record) {
    const std::string line =
        "message box \"" + Utf8OrMark(record.caption) + "\": " + Utf8OrMark(record.text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

} // namespace

void HeadlessBackend::Start() {
    platform::SetDisplayProvider(platform::DisplayProvider{
        [] { return ScreenFromEnvironment(); },
        [](const platform::DisplayMode&) { return false; },
    });
    InstallTerminationHandlers();
}

// The flag outlives a wake-up that comes before the wait (see message_queue.cpp).
void HeadlessBackend::WaitForWork(std::chrono::milliseconds timeout) {
    std::unique_lock lock(wakeMutex_);
    wakeCv_.wait_for(lock, timeout, [this] { return woken_; });
    woken_ = false;
}

void HeadlessBackend::Wake() {
    {
        std::lock_guard lock(wakeMutex_);
        woken_ = true;
    }
    wakeCv_.notify_one();
}

void HeadlessBackend::Invalidate(HWND hwnd, const RECT& clientRect) {
    const CDuiRect added(clientRect);
    if (added.IsEmpty())
        return;
    const auto [it, first] = invalidated.try_emplace(hwnd, clientRect);
    if (first)
        return;
    RECT& all = it->second;
    all = RECT{std::min(all.left, added.left), std::min(all.top, added.top),
               std::max(all.right, added.right), std::max(all.bottom, added.bottom)};
}

int HeadlessBackend::MessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                                UINT type) {
    Headless::MessageBoxRecord record{owner, text, caption, type};
    messageBoxes.push_back(record);
    ShowOnStandardError(record);
    std::function<void(const Headless::MessageBoxRecord&)> sink;
    {
        std::lock_guard lock(sinkMutex);
        sink = messageBoxSink;
    }
    if (sink)
        sink(record);
    if (messageBoxHandler)
        return messageBoxHandler(record);
    return (type & 0xF) == MB_YESNO ? IDYES : IDOK;
}

std::unique_ptr<EmbeddedBrowser> HeadlessBackend::CreateBrowser(HWND hwnd) {
    browsers[hwnd]; // a browser that never navigates is still on record
    return std::make_unique<HeadlessBrowser>(*this, hwnd);
}

SIZE HeadlessBackend::ScreenSize() {
    const platform::DisplayMode mode = platform::CurrentDisplayMode();
    return SIZE{mode.width, mode.height};
}

RECT HeadlessBackend::WorkArea(HWND /*hwnd*/) {
    const SIZE screen = ScreenSize();
    return RECT{0, 0, screen.cx, screen.cy};
}

std::unique_ptr<WindowBackend> MakeHeadlessBackend() {
    return std::make_unique<HeadlessBackend>();
}

HeadlessBackend* ActiveHeadless() {
    WindowBackend& backend = Backend();
    return backend.Kind() == BackendKind::Headless ? static_cast<HeadlessBackend*>(&backend)
                                                   : nullptr;
}

} // namespace DuiLib::detail

namespace DuiLib::Headless {

void SetMessageBoxSink(std::function<void(const MessageBoxRecord&)> sink) {
    std::lock_guard lock(detail::sinkMutex);
    detail::messageBoxSink = std::move(sink);
}

} // namespace DuiLib::Headless
