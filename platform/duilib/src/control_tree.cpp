#include "control_tree.h"

namespace DuiLib::detail {

void ForEachControl(CControlUI* control, const std::function<void(CControlUI*)>& visit) {
    if (control == nullptr)
        return;
    visit(control);
    if (auto* container = dynamic_cast<CContainerUI*>(control)) {
        for (int i = 0; i < container->GetCount(); ++i)
            ForEachControl(container->GetItemAt(i), visit);
    }
}

bool VisibleInTree(const CControlUI* control) {
    for (; control != nullptr; control = control->GetParent()) {
        if (!control->IsVisible())
            return false;
    }
    return true;
}

bool EnabledInTree(const CControlUI* control) {
    for (; control != nullptr; control = control->GetParent()) {
        if (!control->IsEnabled())
            return false;
    }
    return true;
}

} // namespace DuiLib::detail
