#pragma once
// The current display mode, as the UI backend reports it. The headless backend reads
// LAUNCHER_SCREEN ("WIDTHxHEIGHT" or "WIDTHxHEIGHTxBITS"), default 1024x768x32.
#include <functional>

namespace platform {

struct DisplayMode {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
};

struct DisplayProvider {
    std::function<DisplayMode()> current;
    std::function<bool(const DisplayMode&)> change; // false: the mode cannot be set
};

void SetDisplayProvider(DisplayProvider provider);
DisplayMode CurrentDisplayMode();
bool ChangeDisplayMode(const DisplayMode& mode);

} // namespace platform
