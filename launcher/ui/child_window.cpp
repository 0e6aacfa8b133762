#include "launcher/ui/child_window.h"

#include "launcher/launcher.h"
#include "launcher/ui/server_list_wnd.h"
#include "launcher/ui/web_panels.h"

namespace {

// A window destroyed with its owner must not stay behind as a dangling pointer in the frame.
void ForgetChild(LauncherFrameWnd* frame, UIChildWnd* child) {
    if (frame == nullptr)
        return;
    if (frame->NewsWnd == child)
        frame->NewsWnd = nullptr;
    if (frame->News2Wnd == child)
        frame->News2Wnd = nullptr;
    if (frame->TopWnd == child)
        frame->TopWnd = nullptr;
    if (frame->ServerListWnd == child)
        frame->ServerListWnd = nullptr;
}

} // namespace

void UIChildWnd::OnFinalMessage(DuiLib::HWND) {
    PaintManager.RemovePreMessageFilter(this);
    ForgetChild(frame, this);
    delete this;
}
