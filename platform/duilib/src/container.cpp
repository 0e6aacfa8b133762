#include <algorithm>

#include "duilib/controls.h"
#include "duilib/renderer.h"

namespace DuiLib {

CContainerUI::~CContainerUI() {
    // Detach first so the items' destructors do not reach back into a half-destroyed list.
    std::vector<CControlUI*> items;
    items.swap(items_);
    for (CControlUI* item : items)
        delete item;
}

LPCTSTR CContainerUI::GetClass() const {
    return L"ContainerUI";
}

int CContainerUI::GetCount() const {
    return static_cast<int>(items_.size());
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= GetCount())
        return nullptr;
    return items_[static_cast<size_t>(index)];
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
    const auto it = std::find(items_.begin(), items_.end(), control);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

bool CContainerUI::Add(CControlUI* control) {
    // A control has one parent; adding it twice would free it twice. An item's parent is always
    // set, so that check alone finds one added before, without searching the items.
    if (control == nullptr || control == this || control->GetParent() != nullptr)
        return false;
    items_.push_back(control);
    control->SetManager(manager_, this);
    control->PlaceIn(pos_);
    return true;
}

bool CContainerUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (index < 0)
        return false;
    items_.erase(items_.begin() + index);
    Invalidate();
    delete control;
    return true;
}

void CContainerUI::RemoveAll() {
    std::vector<CControlUI*> items;
    items.swap(items_);
    Invalidate();
    for (CControlUI* item : items)
        delete item;
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    CControlUI::SetManager(manager, parent);
    for (CControlUI* item : items_)
        item->SetManager(manager, this);
}

void CContainerUI::SetPos(RECT rc) {
    const RECT old = pos_;
    CControlUI::SetPos(rc);
    // Children with a fixed position move along, keeping any place SetPos gave them; children
    // without one keep filling the container.
    const int dx = rc.left - old.left;
    const int dy = rc.top - old.top;
    for (CControlUI* item : items_) {
        if (!item->HasFixedPos()) {
            item->SetPos(rc);
        } else if (dx != 0 || dy != 0) {
            CDuiRect moved(item->GetPos());
            moved.Offset(dx, dy);
            item->SetPos(moved);
        }
    }
}

void CContainerUI::PlaceIn(const RECT& parentArea) {
    CControlUI::SetPos(PlacedRect(parentArea));
    for (CControlUI* item : items_)
        item->PlaceIn(pos_);
}

CControlUI* CContainerUI::FindControlAt(POINT pt) {
    if (CControlUI::FindControlAt(pt) == nullptr)
        return nullptr;
    // Later items are drawn over earlier ones, so they are hit first.
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
        if (CControlUI* found = (*it)->FindControlAt(pt))
            return found;
    }
    return this;
}

void CContainerUI::DoPaint(IRenderer& renderer, const RECT& dirty) {
    const CDuiRect inside = CDuiRect(pos_).Intersection(dirty);
    if (!visible_ || inside.IsEmpty())
        return;
    CControlUI::DoPaint(renderer, dirty);
    // Items may reach outside the container; what does, is not seen.
    renderer.PushClip(pos_);
    for (CControlUI* item : items_)
        item->DoPaint(renderer, inside);
    renderer.PopClip();
}

LPCTSTR CVerticalLayoutUI::GetClass() const {
    return L"VerticalLayoutUI";
}

LPCTSTR CHorizontalLayoutUI::GetClass() const {
    return L"HorizontalLayoutUI";
}

} // namespace DuiLib
