#include <algorithm>
#include <string_view>

#include "attribute_values.h"
#include "duilib/controls.h"
#include "duilib/renderer.h"

namespace DuiLib {

LPCTSTR CProgressUI::GetClass() const {
    return L"ProgressUI";
}

int CProgressUI::GetMinValue() const {
    return min_;
}

void CProgressUI::SetMinValue(int value) {
    min_ = value;
    Invalidate();
}

int CProgressUI::GetMaxValue() const {
    return max_;
}

void CProgressUI::SetMaxValue(int value) {
    max_ = value;
    Invalidate();
}

int CProgressUI::GetValue() const {
    return value_;
}

void CProgressUI::SetValue(int value) {
    // A range given upside down clamps to nothing sensible; keep min_ as the floor then.
    value_ = std::max(min_, std::min(value, max_));
    Invalidate();
}

uint32_t CProgressUI::GetForeColor() const {
    return foreColor_;
}

CStdString CProgressUI::GetForeImage() const {
    return foreImage_;
}

void CProgressUI::PaintStatus(IRenderer& renderer) {
    const int span = max_ - min_;
    if (span <= 0)
        return;
    const int64_t width = pos_.right - pos_.left;
    const int filled = static_cast<int>(width * (value_ - min_) / span);
    if (filled <= 0)
        return;
    const RECT bar{pos_.left, pos_.top, pos_.left + filled, pos_.bottom};
    if (foreColor_ != 0)
        renderer.FillRect(bar, foreColor_);
    if (!foreImage_.IsEmpty()) {
        // The image spans the whole control and the value uncovers it, rather than squeezing it.
        renderer.PushClip(bar);
        renderer.DrawImage(foreImage_.str(), pos_, RECT{});
        renderer.PopClip();
    }
}

void CProgressUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (name == nullptr || value == nullptr)
        return;
    const std::wstring_view key(name);
    if (key == L"min") {
        if (const auto number = detail::ParseInt(value))
            SetMinValue(*number);
    } else if (key == L"max") {
        if (const auto number = detail::ParseInt(value))
            SetMaxValue(*number);
    } else if (key == L"value") {
        if (const auto number = detail::ParseInt(value))
            SetValue(*number);
    } else if (key == L"forecolor") {
        if (const auto color = detail::ParseColor(value))
            foreColor_ = *color;
    } else if (key == L"foreimage") {
        foreImage_ = value;
        Invalidate();
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

} // namespace DuiLib
