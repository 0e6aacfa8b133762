#pragma once
// The renderer a window's paint handler gives the paint manager: wxGraphicsContext (cairo)
// drawing into the window, images from the cache. UI thread only, for one paint event.
#include <memory>

#include <wx/graphics.h>

#include "duilib/renderer.h"
#include "image_cache.h"

namespace DuiLib::display {

class WxRenderer final : public IRenderer {
public:
    WxRenderer(wxGraphicsContext& context, ImageCache& images);

    void FillRect(const RECT& rect, uint32_t color) override;
    void FillRoundRect(const RECT& rect, SIZE corner, uint32_t color) override;
    void DrawBorder(const RECT& rect, uint32_t color, int width) override;
    void DrawImage(const std::wstring& image, const RECT& dest, const RECT& source) override;
    void DrawText(const std::wstring& text, const RECT& rect, const TextStyle& style) override;
    void PushClip(const RECT& rect) override;
    void PopClip() override;

private:
    wxGraphicsContext& context_;
    ImageCache& images_;
    int clipDepth_ = 0;
};

// A colour of the skins (0xAARRGGBB) as wx takes it.
wxColour ColourOf(uint32_t argb);

} // namespace DuiLib::display
