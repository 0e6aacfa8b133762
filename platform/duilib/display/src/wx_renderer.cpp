#include "wx_renderer.h"

#include <algorithm>
#include <vector>

#include <wx/arrstr.h>
#include <wx/brush.h>
#include <wx/font.h>
#include <wx/pen.h>

namespace DuiLib::display {

namespace {

// Pango takes a comma-separated family list; the CJK families cover the Chinese texts even
// where a skin names a Latin-only font first.
constexpr wchar_t kDefaultFamilies[] = L"WenQuanYi Zen Hei,Noto Sans CJK SC,sans-serif";
constexpr int kDefaultPixelSize = 13;

double Width(const RECT& rect) {
    return rect.right - rect.left;
}

double Height(const RECT& rect) {
    return rect.bottom - rect.top;
}

unsigned char Channel(uint32_t argb, int shift) {
    return static_cast<unsigned char>((argb >> shift) & 0xFFu);
}

} // namespace

wxColour ColourOf(uint32_t argb) {
    return wxColour(Channel(argb, 16), Channel(argb, 8), Channel(argb, 0), Channel(argb, 24));
}

WxRenderer::WxRenderer(wxGraphicsContext& context, ImageCache& images)
    : context_(context), images_(images) {}

void WxRenderer::FillRect(const RECT& rect, uint32_t color) {
    context_.SetPen(*wxTRANSPARENT_PEN);
    context_.SetBrush(wxBrush(ColourOf(color)));
    context_.DrawRectangle(rect.left, rect.top, Width(rect), Height(rect));
}

void WxRenderer::FillRoundRect(const RECT& rect, SIZE corner, uint32_t color) {
    context_.SetPen(*wxTRANSPARENT_PEN);
    context_.SetBrush(wxBrush(ColourOf(color)));
    const double radius = std::min(corner.cx, corner.cy) / 2.0;
    context_.DrawRoundedRectangle(rect.left, rect.top, Width(rect), Height(rect), radius);
}

void WxRenderer::DrawBorder(const RECT& rect, uint32_t color, int width) {
    if (width <= 0)
        return;
    context_.SetBrush(*wxTRANSPARENT_BRUSH);
    context_.SetPen(wxPen(ColourOf(color), width));
    // The pen straddles the path: inset by half a pen so the border stays inside the rectangle.
    const double half = width / 2.0;
    context_.DrawRectangle(rect.left + half, rect.top + half, Width(rect) - width,
                           Height(rect) - width);
}

void WxRenderer::DrawImage(const std::wstring& image, const RECT& dest, const RECT& source) {
    const wxBitmap& bitmap =
        images_.Get(image, source, wxSize(dest.right - dest.left, dest.bottom - dest.top));
    if (bitmap.IsOk())
        context_.DrawBitmap(bitmap, dest.left, dest.top, Width(dest), Height(dest));
}

void WxRenderer::DrawText(const std::wstring& text, const RECT& rect, const TextStyle& style) {
    if (text.empty())
        return;
    const int pixels = style.size > 0 ? style.size : kDefaultPixelSize;
    wxFontInfo info(wxSize(0, pixels));
    info.FaceName(style.font.empty() ? wxString(kDefaultFamilies)
                                     : wxString(style.font) + L"," + kDefaultFamilies);
    info.Bold(style.bold);
    context_.SetFont(wxFont(info), ColourOf(style.color != 0 ? style.color : 0xFF000000u));

    // Each line is aligned on its own; the block of lines as a whole takes the vertical place.
    const wxArrayString lines = wxSplit(wxString(text), L'\n', L'\0');
    std::vector<double> widths;
    double lineHeight = 0;
    for (const wxString& line : lines) {
        double width = 0;
        double height = 0;
        context_.GetTextExtent(line.empty() ? wxString(L" ") : line, &width, &height);
        widths.push_back(line.empty() ? 0 : width);
        lineHeight = std::max(lineHeight, height);
    }
    const double blockHeight = lineHeight * static_cast<double>(lines.size());
    double y = rect.top;
    if (style.vAlign == VerticalAlign::Center)
        y += (Height(rect) - blockHeight) / 2;
    else if (style.vAlign == VerticalAlign::Bottom)
        y += Height(rect) - blockHeight;

    PushClip(rect);
    for (size_t i = 0; i < lines.size(); ++i, y += lineHeight) {
        double x = rect.left;
        if (style.hAlign == HorizontalAlign::Center)
            x += (Width(rect) - widths[i]) / 2;
        else if (style.hAlign == HorizontalAlign::Right)
            x += Width(rect) - widths[i];
        context_.DrawText(lines[i], x, y);
    }
    PopClip();
}

// Cairo's saved state holds the clip, so popping restores the clip the push replaced.
void WxRenderer::PushClip(const RECT& rect) {
    context_.PushState();
    context_.Clip(rect.left, rect.top, Width(rect), Height(rect));
    ++clipDepth_;
}

void WxRenderer::PopClip() {
    if (clipDepth_ == 0)
        return;
    --clipDepth_;
    context_.PopState();
}

} // namespace DuiLib::display
