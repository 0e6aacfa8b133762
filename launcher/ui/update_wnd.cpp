#include "launcher/ui/update_wnd.h"

#include <climits>
#include <cmath>
#include <string>

#include "launcher/launcher.h"

using namespace DuiLib;

namespace {

// Truncation toward zero, as a cast does, but defined for every float: NaN gives 0 and values
// beyond int's range saturate instead of being undefined.
int TruncateToInt(float value) {
    if (std::isnan(value))
        return 0;
    if (value >= 2147483648.0f)
        return INT_MAX;
    if (value <= -2147483648.0f)
        return INT_MIN;
    return static_cast<int>(value);
}

int SaturatingAdd(int a, int b) {
    const long long sum = static_cast<long long>(a) + b;
    return static_cast<int>(sum > INT_MAX ? INT_MAX : (sum < INT_MIN ? INT_MIN : sum));
}

} // namespace

LPCTSTR UIUpdateWnd::GetWindowClassName() const {
    return L"UIUpdateFrame";
}

UINT UIUpdateWnd::GetClassStyle() const {
    return CS_DBLCLKS;
}

LRESULT UIUpdateWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (PaintManager.MessageHandler(uMsg, wParam, lParam, result))
        return result;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void UIUpdateWnd::Notify(TNotifyUI&) {}

void UIUpdateWnd::OnFinalMessage(HWND) {
    // As for the other child windows: the frame must not keep, and free again at exit, a window
    // destroyed with it.
    if (frame != nullptr) {
        UIUpdateWnd* self = this;
        frame->UpdateWnd.compare_exchange_strong(self, nullptr);
    }
    delete this;
}

// The float arithmetic stays in single precision and in this order: the bar and the text must
// show the same numbers for the same percent wherever it comes from.
void UIUpdateWnd::SetProgress(float percent) {
    if (ProgressTxt != nullptr)
        ProgressTxt->SetText((std::to_wstring(TruncateToInt(percent)) + L"%").c_str());
    if (ProgressCtrl != nullptr) {
        const float maximum = static_cast<float>(ProgressCtrl->GetMaxValue());
        ProgressCtrl->SetValue(TruncateToInt(maximum * percent / 100.0f));
    }
    MoveProgressImg(percent / 100.0f);
}

void UIUpdateWnd::MoveProgressImg(float fraction) {
    if (ProgressImg == nullptr || ProgressCtrl == nullptr)
        return;
    const float barX = static_cast<float>(ProgressCtrl->GetFixedXY().cx);
    const float barWidth = static_cast<float>(ProgressCtrl->GetFixedWidth());
    const int x = TruncateToInt(barX + barWidth * fraction - 5.0f);
    const int y = ProgressImg->GetFixedXY().cy;
    RECT pos;
    pos.left = x;
    pos.top = y;
    pos.right = SaturatingAdd(x, ProgressImg->GetFixedWidth());
    pos.bottom = SaturatingAdd(y, ProgressImg->GetFixedHeight());
    ProgressImg->SetPos(pos);
}
