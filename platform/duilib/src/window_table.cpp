#include "window_table.h"

#include <map>
#include <mutex>

namespace DuiLib::detail {

namespace {

// The map is read by IsLiveWindow on worker threads; records are written on the UI thread.
std::mutex tableMutex;
std::map<uintptr_t, std::unique_ptr<WindowState>>& Table() {
    static auto* table = new std::map<uintptr_t, std::unique_ptr<WindowState>>();
    return *table;
}
uintptr_t lastId = 0;
HWND activeWindow = nullptr;

// Handles are opaque: never dereferenced, spaced so that they look like aligned pointers.
uintptr_t IdOf(HWND hwnd) {
    return reinterpret_cast<uintptr_t>(hwnd) >> 4;
}
HWND HandleOf(uintptr_t id) {
    return reinterpret_cast<HWND>(id << 4);
}

} // namespace

WindowState& AddWindow(CWindowWnd* object, HWND owner) {
    auto state = std::make_unique<WindowState>();
    WindowState& ref = *state;
    std::lock_guard lock(tableMutex);
    const uintptr_t id = 0x1000 + ++lastId;
    ref.hwnd = HandleOf(id);
    ref.object = object;
    ref.owner = owner;
    Table().emplace(id, std::move(state));
    return ref;
}

WindowState* FindWindow(HWND hwnd) {
    if (hwnd == nullptr)
        return nullptr;
    std::lock_guard lock(tableMutex);
    const auto it = Table().find(IdOf(hwnd));
    return it == Table().end() ? nullptr : it->second.get();
}

bool WindowExists(HWND hwnd) {
    if (hwnd == nullptr)
        return false;
    std::lock_guard lock(tableMutex);
    return Table().count(IdOf(hwnd)) != 0;
}

void RemoveWindow(HWND hwnd) {
    // The record is freed after the lock is released; the lock guards only the map.
    std::unique_ptr<WindowState> removed;
    {
        std::lock_guard lock(tableMutex);
        const auto it = Table().find(IdOf(hwnd));
        if (it == Table().end())
            return;
        removed = std::move(it->second);
        Table().erase(it);
    }
    if (activeWindow == hwnd)
        activeWindow = nullptr;
}

std::vector<HWND> WindowsInCreationOrder() {
    std::vector<HWND> handles;
    std::lock_guard lock(tableMutex);
    for (const auto& [id, state] : Table()) {
        if (!state->destroying)
            handles.push_back(state->hwnd);
    }
    return handles;
}

HWND ActiveWindow() {
    return activeWindow;
}

void SetActiveWindow(HWND hwnd) {
    activeWindow = hwnd;
}

} // namespace DuiLib::detail
