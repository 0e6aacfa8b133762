#pragma once
// A renderer that keeps every call with its arguments, so tests see what a window draws
// without a display. UI thread.
#include <cstdint>
#include <string>
#include <vector>

#include "duilib/renderer.h"
#include "duilib/types.h"

namespace DuiLib::Headless {

enum class DrawKind { FillRect, FillRoundRect, Border, Image, Text, PushClip, PopClip };

struct DrawCommand {
    DrawKind kind = DrawKind::FillRect;
    RECT rect;          // filled, bordered, image destination, text or clip rectangle
    uint32_t color = 0; // fills and borders; text has its colour in style
    SIZE corner;        // FillRoundRect
    int width = 0;      // Border
    std::wstring image; // Image
    RECT source;        // Image
    std::wstring text;  // Text
    TextStyle style;    // Text
};

class RecordingRenderer final : public IRenderer {
public:
    void FillRect(const RECT& rect, uint32_t color) override;
    void FillRoundRect(const RECT& rect, SIZE corner, uint32_t color) override;
    void DrawBorder(const RECT& rect, uint32_t color, int width) override;
    void DrawImage(const std::wstring& image, const RECT& dest, const RECT& source) override;
    void DrawText(const std::wstring& text, const RECT& rect, const TextStyle& style) override;
    void PushClip(const RECT& rect) override;
    void PopClip() override;

    std::vector<DrawCommand> commands;
};

} // namespace DuiLib::Headless
