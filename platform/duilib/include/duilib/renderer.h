#pragma once
// What a window's controls draw with. A backend implements it over its own drawing surface;
// the headless backend records the calls. Used on the UI thread, during a window's WM_PAINT.
// Rectangles are client coordinates of the painted window; colours are 0xAARRGGBB.
#include <cstdint>
#include <string>

#include "duilib/look.h"
#include "duilib/types.h"

namespace DuiLib {

struct TextStyle {
    std::wstring font; // face names, comma-separated fallbacks; "" = the backend's default
    int size = 0;      // pixels; 0 = the backend's default
    bool bold = false;
    uint32_t color = 0;
    HorizontalAlign hAlign = HorizontalAlign::Left;
    VerticalAlign vAlign = VerticalAlign::Center;
};

class IRenderer {
public:
    virtual ~IRenderer() = default;
    virtual void FillRect(const RECT& rect, uint32_t color) = 0;
    virtual void FillRoundRect(const RECT& rect, SIZE corner, uint32_t color) = 0;
    // width pixels inside rect.
    virtual void DrawBorder(const RECT& rect, uint32_t color, int width) = 0;
    // image: an entry name in the skin archive (PNG, read with CPaintManagerUI::LoadSkinResource);
    // source: a rectangle of the image, or an empty rectangle for the whole image; the image is
    // scaled into dest.
    virtual void DrawImage(const std::wstring& image, const RECT& dest, const RECT& source) = 0;
    // One or more lines inside rect, aligned as the style says; what does not fit is cut off.
    virtual void DrawText(const std::wstring& text, const RECT& rect, const TextStyle& style) = 0;
    // Drawing is limited to rect intersected with the current clip until the matching PopClip.
    virtual void PushClip(const RECT& rect) = 0;
    virtual void PopClip() = 0;
};

} // namespace DuiLib
