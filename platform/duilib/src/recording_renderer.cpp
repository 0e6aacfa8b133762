#include "duilib/recording_renderer.h"

namespace DuiLib::Headless {

namespace {

DrawCommand& Add(std::vector<DrawCommand>& commands, DrawKind kind, const RECT& rect) {
    DrawCommand& command = commands.emplace_back();
    command.kind = kind;
    command.rect = rect;
    return command;
}

} // namespace

void RecordingRenderer::FillRect(const RECT& rect, uint32_t color) {
    Add(commands, DrawKind::FillRect, rect).color = color;
}

void RecordingRenderer::FillRoundRect(const RECT& rect, SIZE corner, uint32_t color) {
    DrawCommand& command = Add(commands, DrawKind::FillRoundRect, rect);
    command.corner = corner;
    command.color = color;
}

void RecordingRenderer::DrawBorder(const RECT& rect, uint32_t color, int width) {
    DrawCommand& command = Add(commands, DrawKind::Border, rect);
    command.color = color;
    command.width = width;
}

void RecordingRenderer::DrawImage(const std::wstring& image, const RECT& dest, const RECT& source) {
    DrawCommand& command = Add(commands, DrawKind::Image, dest);
    command.image = image;
    command.source = source;
}

void RecordingRenderer::DrawText(const std::wstring& text, const RECT& rect,
                                 const TextStyle& style) {
    DrawCommand& command = Add(commands, DrawKind::Text, rect);
    command.text = text;
    command.style = style;
}

void RecordingRenderer::PushClip(const RECT& rect) {
    Add(commands, DrawKind::PushClip, rect);
}

void RecordingRenderer::PopClip() {
    Add(commands, DrawKind::PopClip, RECT{});
}

} // namespace DuiLib::Headless
