#pragma once
// How a control looks, as its skin says. The display backend paints from these values; the
// headless backend only keeps them. Colours are 0xAARRGGBB, 0 = not set.
#include <cstdint>
#include <string>

namespace DuiLib {

enum class HorizontalAlign { Left, Center, Right };
enum class VerticalAlign { Top, Center, Bottom };

struct ControlLook {
    uint32_t bkColor = 0;
    uint32_t hotBkColor = 0;
    uint32_t pushedBkColor = 0;
    uint32_t selectedBkColor = 0;
    uint32_t disabledBkColor = 0;
    uint32_t textColor = 0;
    uint32_t disabledTextColor = 0;
    uint32_t borderColor = 0;
    int borderSize = 0;
    int fontSize = 0;  // 0 = the backend's default size
    std::wstring font; // face names, comma-separated fallbacks; "" = the backend's default
    bool bold = false;
    HorizontalAlign hAlign = HorizontalAlign::Left;
    VerticalAlign vAlign = VerticalAlign::Center;
};

// The rows of a list or of a combo's drop-down.
struct ListItemLook {
    int itemHeight = 24;
    uint32_t itemTextColor = 0;
    uint32_t itemHotBkColor = 0;
    uint32_t itemSelectedBkColor = 0;
    HorizontalAlign itemAlign = HorizontalAlign::Left;
    int itemTextPadding = 0; // pixels kept free left and right of a row's text
};

} // namespace DuiLib
