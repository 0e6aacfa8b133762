// Choosing and holding the active backend.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "duilib/window.h"
#include "duilib/window_backend.h"
#include "headless_backend.h"
#include "message_loop.h"
#include "window_internal.h"
#include "window_table.h"

namespace DuiLib {

namespace {

std::mutex factoryMutex;
std::function<std::unique_ptr<WindowBackend>()> displayFactory;

// Never freed: worker threads may still wake the UI thread while the process exits.
std::atomic<WindowBackend*> active{nullptr};

bool EnvironmentHas(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

std::unique_ptr<WindowBackend> MakeDisplay() {
    std::function<std::unique_ptr<WindowBackend>()> factory;
    {
        std::lock_guard lock(factoryMutex);
        factory = displayFactory;
    }
    return factory ? factory() : nullptr;
}

bool DisplayRegistered() {
    std::lock_guard lock(factoryMutex);
    return static_cast<bool>(displayFactory);
}

// A display that cannot be had is never fatal: the launcher still runs, headless.
std::unique_ptr<WindowBackend> Choose() {
    const char* forced = std::getenv("LAUNCHER_BACKEND");
    const std::string_view choice = forced != nullptr ? forced : "";
    if (choice == "headless")
        return detail::MakeHeadlessBackend();
    if (choice == "display") {
        if (auto display = MakeDisplay())
            return display;
        std::fputs("LAUNCHER_BACKEND=display, but no display backend could be started; "
                   "running headless\n",
                   stderr);
        return detail::MakeHeadlessBackend();
    }
    if (!choice.empty())
        std::fprintf(stderr, "LAUNCHER_BACKEND=%s is neither headless nor display; ignored\n",
                     forced);
    if (DisplayRegistered() && (EnvironmentHas("DISPLAY") || EnvironmentHas("WAYLAND_DISPLAY"))) {
        if (auto display = MakeDisplay())
            return display;
        std::fputs("the display backend could not be started; running headless\n", stderr);
    }
    return detail::MakeHeadlessBackend();
}

} // namespace

BackendKind InitBackend() {
    detail::MarkUiThread();
    if (WindowBackend* backend = active.load())
        return backend->Kind();
    WindowBackend* backend = Choose().release();
    backend->Start();
    active.store(backend);
    return backend->Kind();
}

BackendKind ActiveBackend() {
    return Backend().Kind();
}

void StopBackend() {
    if (WindowBackend* backend = active.load())
        backend->Stop();
}

void RegisterDisplayBackend(std::function<std::unique_ptr<WindowBackend>()> factory) {
    std::lock_guard lock(factoryMutex);
    displayFactory = std::move(factory);
}

WindowBackend& Backend() {
    if (WindowBackend* backend = active.load())
        return *backend;
    InitBackend();
    return *active.load();
}

WindowBackend* BackendIfStarted() {
    return active.load();
}

void NativeBoundsChanged(HWND hwnd, const RECT& screenRect) {
    detail::ApplyBounds(hwnd, screenRect);
}

void NativeActivated(HWND hwnd) {
    if (detail::FindWindow(hwnd) != nullptr)
        detail::SetActiveWindow(hwnd);
}

void NativePaint(HWND hwnd, IRenderer& renderer, const RECT& dirty) {
    detail::WindowState* state = detail::FindWindow(hwnd);
    if (state == nullptr || state->destroying || !state->visible)
        return;
    const detail::PaintRequest request{&renderer, dirty};
    state->paint = &request;
    SendMessage(hwnd, WM_PAINT, 0, 0);
    // The handler may have destroyed the window and its record with it.
    if (detail::WindowState* after = detail::FindWindow(hwnd))
        after->paint = nullptr;
}

void RunPendingWork() {
    detail::PumpPending();
}

} // namespace DuiLib
