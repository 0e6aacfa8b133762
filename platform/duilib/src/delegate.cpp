#include "duilib/delegate.h"

#include <algorithm>

namespace DuiLib {

void CEventSource::operator-=(const CDelegateStatic& delegate) {
    const auto it = std::find(delegates_.begin(), delegates_.end(), delegate);
    if (it != delegates_.end())
        delegates_.erase(it);
}

bool CEventSource::operator()(void* param) const {
    // A copy: a delegate may add or remove delegates of this source while it runs.
    const std::vector<CDelegateStatic> delegates = delegates_;
    for (const CDelegateStatic& delegate : delegates) {
        if (!delegate(param))
            return false;
    }
    return true;
}

} // namespace DuiLib
