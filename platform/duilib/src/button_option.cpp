#include <string_view>

#include "attribute_values.h"
#include "control_tree.h"
#include "duilib/controls.h"
#include "duilib/paint_manager.h"

namespace DuiLib {

LPCTSTR CButtonUI::GetClass() const {
    return L"ButtonUI";
}

void CButtonUI::DoEvent(TEventUI& event) {
    // The paint manager hands button-up only to the control that got the button-down; a
    // release outside the button cancels the click. The hot and pushed looks follow the
    // manager's state.
    if (event.Type == UIEVENT_BUTTONUP && manager_ != nullptr &&
        manager_->FindControl(event.ptMouse) == this)
        Activate();
}

bool CButtonUI::Activate() {
    if (manager_ == nullptr || !detail::EnabledInTree(this) || !detail::VisibleInTree(this))
        return false;
    manager_->SendNotify(this, L"click");
    return true;
}

void CButtonUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (name == nullptr || value == nullptr) {
        CLabelUI::SetAttribute(name, value);
        return;
    }
    const std::wstring_view key(name);
    if (key == L"normalimage")
        normalImage_ = value;
    else if (key == L"hotimage")
        hotImage_ = value;
    else if (key == L"pushedimage")
        pushedImage_ = value;
    else if (key == L"disabledimage")
        disabledImage_ = value;
    else
        CLabelUI::SetAttribute(name, value);
}

// Disabled wins over the mouse; a state without an image of its own shows the normal one.
CStdString CButtonUI::BkImageForState() const {
    const CStdString* image = &normalImage_;
    if (!detail::EnabledInTree(this))
        image = &disabledImage_;
    else if (pushed_)
        image = &pushedImage_;
    else if (hot_)
        image = &hotImage_;
    return image->IsEmpty() ? normalImage_ : *image;
}

LPCTSTR COptionUI::GetClass() const {
    return L"OptionUI";
}

bool COptionUI::IsSelected() const {
    return selected_;
}

void COptionUI::Selected(bool selected) {
    if (selected_ == selected)
        return;
    selected_ = selected;
    Invalidate();
    if (!selected_ || group_.IsEmpty() || manager_ == nullptr)
        return;
    detail::ForEachControl(manager_->GetRoot(), [this](CControlUI* control) {
        auto* other = dynamic_cast<COptionUI*>(control);
        if (other != nullptr && other != this && other->selected_ && other->group_ == group_) {
            other->selected_ = false;
            other->Invalidate();
        }
    });
}

bool COptionUI::PaintsSelected() const {
    return selected_;
}

CStdString COptionUI::GetGroup() const {
    return group_;
}

void COptionUI::SetGroup(LPCTSTR group) {
    group_ = group;
}

void COptionUI::DoEvent(TEventUI& event) {
    CButtonUI::DoEvent(event);
}

bool COptionUI::Activate() {
    const std::weak_ptr<char> life = LifeToken();
    if (!CButtonUI::Activate())
        return false;
    // The notifiers saw the state from before the click; a notifier may have freed us.
    if (life.expired())
        return true;
    Selected(group_.IsEmpty() ? !selected_ : true);
    return true;
}

void COptionUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (name != nullptr && value != nullptr && std::wstring_view(name) == L"group") {
        SetGroup(value);
    } else if (name != nullptr && value != nullptr && std::wstring_view(name) == L"selected") {
        if (const auto selected = detail::ParseBool(value))
            Selected(*selected);
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

} // namespace DuiLib
