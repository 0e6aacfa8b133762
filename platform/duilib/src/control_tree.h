#pragma once
// Walks over a control tree. UI thread only.
#include <functional>

#include "duilib/controls.h"

namespace DuiLib::detail {

// Visits control and everything below it, parents before children, in item order.
void ForEachControl(CControlUI* control, const std::function<void(CControlUI*)>& visit);
// The control and all its ancestors are visible / enabled.
bool VisibleInTree(const CControlUI* control);
bool EnabledInTree(const CControlUI* control);

} // namespace DuiLib::detail
