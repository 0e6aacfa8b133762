#include "system/display.h"

#include <charconv>
#include <cstdlib>
#include <mutex>
#include <string_view>

namespace platform {

namespace {

std::mutex providerMutex;
DisplayProvider provider;

constexpr DisplayMode kDefaultMode{1024, 768, 32};

// Reads a positive decimal number up to the next 'x' or the end; false on anything else.
bool TakeNumber(std::string_view& text, int& value) {
    const size_t end = text.find('x');
    const std::string_view digits = text.substr(0, end);
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || result.ec != std::errc() || result.ptr != digits.data() + digits.size() ||
        value <= 0)
        return false;
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    return end == std::string_view::npos || !text.empty();
}

// "WIDTHxHEIGHT" or "WIDTHxHEIGHTxBITS"; anything malformed gives the default mode.
DisplayMode ModeFromEnvironment() {
    const char* value = std::getenv("LAUNCHER_SCREEN");
    if (value == nullptr)
        return kDefaultMode;
    std::string_view text(value);
    DisplayMode mode = kDefaultMode;
    if (!TakeNumber(text, mode.width) || !TakeNumber(text, mode.height))
        return kDefaultMode;
    if (!text.empty() && (!TakeNumber(text, mode.bitsPerPixel) || !text.empty()))
        return kDefaultMode;
    return mode;
}

} // namespace

void SetDisplayProvider(DisplayProvider replacement) {
    std::lock_guard lock(providerMutex);
    provider = std::move(replacement);
}

DisplayMode CurrentDisplayMode() {
    std::function<DisplayMode()> current;
    {
        std::lock_guard lock(providerMutex);
        current = provider.current;
    }
    return current ? current() : ModeFromEnvironment();
}

bool ChangeDisplayMode(const DisplayMode& mode) {
    std::function<bool(const DisplayMode&)> change;
    {
        std::lock_guard lock(providerMutex);
        change = provider.change;
    }
    return change ? change(mode) : false;
}

} // namespace platform
