#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "attribute_values.h"
#include "control_tree.h"
#include "duilib/controls.h"
#include "duilib/paint_manager.h"
#include "duilib/renderer.h"
#include "duilib/window_backend.h"

namespace DuiLib {

namespace {

// The item attributes lists and combos share.
bool ApplyItemLook(ListItemLook& look, std::wstring_view name, LPCTSTR value) {
    if (name == L"itemheight") {
        if (const auto height = detail::ParseInt(value); height && *height > 0)
            look.itemHeight = *height;
    } else if (name == L"itemtextcolor") {
        if (const auto color = detail::ParseColor(value))
            look.itemTextColor = *color;
    } else if (name == L"itemhotbkcolor") {
        if (const auto color = detail::ParseColor(value))
            look.itemHotBkColor = *color;
    } else if (name == L"itemselectedbkcolor") {
        if (const auto color = detail::ParseColor(value))
            look.itemSelectedBkColor = *color;
    } else if (name == L"itemalign") {
        if (const auto align = detail::ParseHorizontalAlign(value))
            look.itemAlign = *align;
    } else if (name == L"itemtextpadding") {
        if (const auto padding = detail::ParseInt(value); padding && *padding >= 0)
            look.itemTextPadding = *padding;
    } else {
        return false;
    }
    return true;
}

// The item colours of the list holding control, or null when it is in none.
const ListItemLook* ItemLookOf(const CControlUI* control) {
    if (const auto* list = dynamic_cast<const CListUI*>(control->GetParent()))
        return &list->GetItemLook();
    return nullptr;
}

} // namespace

// ---- CListLabelElementUI ----

LPCTSTR CListLabelElementUI::GetClass() const {
    return L"ListLabelElementUI";
}

bool CListLabelElementUI::IsSelected() const {
    return selected_;
}

void CListLabelElementUI::Select(bool selected) {
    if (auto* list = dynamic_cast<CListUI*>(parent_)) {
        const int index = list->GetItemIndex(this);
        if (selected)
            list->SelectItem(index);
        else if (list->GetCurSel() == index)
            list->SelectItem(-1);
        return;
    }
    if (auto* combo = dynamic_cast<CComboUI*>(parent_)) {
        if (selected)
            combo->SelectItem(combo->GetItemIndex(this));
        return;
    }
    selected_ = selected;
    Invalidate();
}

void CListLabelElementUI::DoEvent(TEventUI& event) {
    // Event() ran the OnEvent delegates already; getting here means they let the press through.
    if (event.Type != UIEVENT_BUTTONDOWN || !detail::EnabledInTree(this)) {
        CLabelUI::DoEvent(event);
        return;
    }
    const std::weak_ptr<char> life = LifeToken();
    Select(true);
    if (!life.expired() && manager_ != nullptr)
        manager_->SendNotify(this, L"itemclick");
}

bool CListLabelElementUI::PaintsSelected() const {
    return selected_;
}

uint32_t CListLabelElementUI::BkColorForState() const {
    if (const ListItemLook* items = ItemLookOf(this);
        items != nullptr && detail::EnabledInTree(this)) {
        if (selected_ && items->itemSelectedBkColor != 0)
            return items->itemSelectedBkColor;
        if (hot_ && items->itemHotBkColor != 0)
            return items->itemHotBkColor;
    }
    return CLabelUI::BkColorForState();
}

TextStyle CListLabelElementUI::TextStyleForState() const {
    TextStyle style = CLabelUI::TextStyleForState();
    const ListItemLook* items = ItemLookOf(this);
    if (items == nullptr)
        return style;
    if (look_.textColor == 0 && items->itemTextColor != 0 && detail::EnabledInTree(this))
        style.color = items->itemTextColor;
    style.hAlign = items->itemAlign;
    const ControlLook& list = parent_->GetLook();
    if (look_.font.empty() && look_.fontSize == 0) {
        style.font = list.font;
        style.size = list.fontSize;
        style.bold = list.bold;
    }
    return style;
}

void CListLabelElementUI::PaintText(IRenderer& renderer) {
    const ListItemLook* items = ItemLookOf(this);
    const CStdString text = GetText();
    if (items == nullptr || items->itemTextPadding == 0 || text.IsEmpty()) {
        CLabelUI::PaintText(renderer);
        return;
    }
    RECT inner = pos_;
    inner.left += items->itemTextPadding;
    inner.right = std::max(inner.left, inner.right - items->itemTextPadding);
    renderer.DrawText(text.str(), inner, TextStyleForState());
}

void CListLabelElementUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (name != nullptr && value != nullptr && std::wstring_view(name) == L"selected") {
        if (const auto selected = detail::ParseBool(value))
            Select(*selected);
        return;
    }
    CLabelUI::SetAttribute(name, value);
}

// ---- CListUI ----

LPCTSTR CListUI::GetClass() const {
    return L"ListUI";
}

int CListUI::GetCurSel() const {
    return curSel_;
}

bool CListUI::SelectItem(int index) {
    if (index < -1 || index >= GetCount())
        return false;
    // Only the item at curSel_ carries the flag, so only it and the new one change. The flags
    // are set directly: going through Select would come back here.
    const auto setFlag = [](CControlUI* control, bool selected) {
        auto* item = dynamic_cast<CListLabelElementUI*>(control);
        if (item != nullptr && item->selected_ != selected) {
            item->selected_ = selected;
            item->Invalidate();
        }
    };
    const int previous = curSel_;
    curSel_ = index;
    setFlag(GetItemAt(previous), false);
    setFlag(GetItemAt(index), true);
    return true;
}

bool CListUI::Add(CControlUI* control) {
    if (!CContainerUI::Add(control))
        return false;
    // An item that arrives selected (from its skin) becomes the list's selection.
    auto* item = dynamic_cast<CListLabelElementUI*>(control);
    if (item != nullptr && item->selected_)
        SelectItem(GetCount() - 1);
    // Only the new row: stacking every item again would make a long list quadratic to build.
    control->SetPos(RowRect(GetCount() - 1));
    return true;
}

bool CListUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (index < 0)
        return false;
    if (index == curSel_)
        curSel_ = -1;
    else if (index < curSel_)
        --curSel_;
    CContainerUI::Remove(control);
    StackItems();
    return true;
}

void CListUI::RemoveAll() {
    curSel_ = -1;
    CContainerUI::RemoveAll();
}

void CListUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    StackItems();
}

void CListUI::PlaceIn(const RECT& parentArea) {
    CControlUI::SetPos(PlacedRect(parentArea));
    StackItems();
}

// Every item gets a row, hidden ones too, so an item's row does not depend on the others'.
void CListUI::StackItems() {
    for (int i = 0; i < GetCount(); ++i)
        items_[static_cast<size_t>(i)]->SetPos(RowRect(i));
}

// Rows far below any screen stop at the largest coordinate instead of wrapping around.
RECT CListUI::RowRect(int index) const {
    constexpr int64_t kLargest = std::numeric_limits<int>::max();
    const int64_t height = itemLook_.itemHeight;
    const int64_t top = std::min(kLargest - height, pos_.top + int64_t{index} * height);
    return RECT{pos_.left, static_cast<int>(top), pos_.right, static_cast<int>(top + height)};
}

const ListItemLook& CListUI::GetItemLook() const {
    return itemLook_;
}

void CListUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (name == nullptr || value == nullptr)
        return;
    if (ApplyItemLook(itemLook_, name, value))
        StackItems();
    else
        CContainerUI::SetAttribute(name, value);
}

// ---- CComboUI ----

LPCTSTR CComboUI::GetClass() const {
    return L"ComboUI";
}

int CComboUI::GetCurSel() const {
    return curSel_;
}

bool CComboUI::SelectItem(int index) {
    if (index < 0 || index >= GetCount())
        return false;
    if (index == curSel_)
        return true;
    const int previous = curSel_;
    curSel_ = index;
    SyncItemSelection();
    Invalidate();
    if (manager_ != nullptr)
        manager_->SendNotify(this, L"itemselect", static_cast<WPARAM>(index),
                             static_cast<LPARAM>(previous));
    return true;
}

void CComboUI::SyncItemSelection() {
    for (int i = 0; i < GetCount(); ++i) {
        if (auto* item = dynamic_cast<CListLabelElementUI*>(items_[static_cast<size_t>(i)]))
            item->selected_ = i == curSel_;
    }
}

void CComboUI::SetDrawSelText(bool draw) {
    drawSelText_ = draw;
    Invalidate();
}

bool CComboUI::GetDrawSelText() const {
    return drawSelText_;
}

CStdString CComboUI::GetText() const {
    if (const CControlUI* item = GetItemAt(curSel_))
        return item->GetText();
    return text_;
}

bool CComboUI::Add(CControlUI* control) {
    if (!CContainerUI::Add(control))
        return false;
    // From the skin: no notification while building. Only the item at curSel_ carries the
    // flag, so it alone lets go.
    auto* item = dynamic_cast<CListLabelElementUI*>(control);
    if (item != nullptr && item->selected_) {
        if (auto* previous = dynamic_cast<CListLabelElementUI*>(GetItemAt(curSel_)))
            previous->selected_ = false;
        curSel_ = GetCount() - 1;
    }
    return true;
}

bool CComboUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (index < 0)
        return false;
    if (index == curSel_)
        curSel_ = -1;
    else if (index < curSel_)
        --curSel_;
    return CContainerUI::Remove(control);
}

void CComboUI::RemoveAll() {
    curSel_ = -1;
    CContainerUI::RemoveAll();
}

void CComboUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
}

void CComboUI::PlaceIn(const RECT& parentArea) {
    CControlUI::SetPos(PlacedRect(parentArea));
}

CControlUI* CComboUI::FindControlAt(POINT pt) {
    return CControlUI::FindControlAt(pt);
}

// The choice is the backend's drop-down; the combo only learns the index picked.
void CComboUI::DoEvent(TEventUI& event) {
    if (event.Type != UIEVENT_BUTTONUP || manager_ == nullptr ||
        manager_->FindControl(event.ptMouse) != this || !detail::EnabledInTree(this))
        return;
    HWND hwnd = manager_->GetPaintWindow();
    WindowBackend* backend = BackendIfStarted();
    if (hwnd == nullptr || backend == nullptr)
        return;
    std::vector<std::wstring> texts;
    for (CControlUI* item : items_)
        texts.push_back(item->GetText().str());
    const int chosen = backend->ChooseListItem(hwnd, pos_, texts, curSel_);
    if (chosen >= 0)
        SelectItem(chosen);
}

void CComboUI::DoPaint(IRenderer& renderer, const RECT& dirty) {
    CControlUI::DoPaint(renderer, dirty);
}

void CComboUI::PaintText(IRenderer& renderer) {
    if (drawSelText_)
        CContainerUI::PaintText(renderer);
}

const ListItemLook& CComboUI::GetItemLook() const {
    return itemLook_;
}

void CComboUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (name == nullptr || value == nullptr)
        return;
    if (!ApplyItemLook(itemLook_, name, value))
        CContainerUI::SetAttribute(name, value);
}

} // namespace DuiLib
