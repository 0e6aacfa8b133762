// Drawing a window: the paint manager's part of WM_PAINT, and the skin images backends load.
#include "duilib/paint_manager.h"
#include "duilib/renderer.h"
#include "duilib/window.h"
#include "skin_archive.h"

namespace DuiLib {

void CPaintManagerUI::Paint(IRenderer& renderer, const RECT& dirty) {
    RECT client;
    if (!GetClientRect(GetPaintWindow(), &client))
        return;
    const CDuiRect area = CDuiRect(client).Intersection(dirty);
    if (area.IsEmpty())
        return;
    renderer.PushClip(area);
    if (const uint32_t color = GetBkColor(); color != 0) {
        const SIZE corner = GetRoundCorner();
        if (corner.cx > 0 && corner.cy > 0)
            renderer.FillRoundRect(client, corner, color);
        else
            renderer.FillRect(client, color);
    }
    if (CControlUI* root = GetRoot())
        root->DoPaint(renderer, area);
    renderer.PopClip();
}

bool CPaintManagerUI::LoadSkinResource(const std::wstring& name, std::string& bytes) {
    return detail::ReadArchiveEntry(detail::SkinArchivePath(), name, bytes);
}

} // namespace DuiLib
