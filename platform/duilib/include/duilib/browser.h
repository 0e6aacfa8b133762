#pragma once
// The embedded browser's interface as the "IE" control hands it out. On the display backend it
// drives a web view; headless, navigations are recorded.
#include "duilib/types.h"

namespace DuiLib {

class IWebBrowser {
public:
    virtual void put_Silent(bool silent) = 0; // no dialogs of the page's own
    virtual bool Navigate(LPCTSTR url) = 0;
    // A page that cannot be loaded is replaced by this one (empty: the engine's own error
    // page). An error page that fails itself is not retried.
    virtual void SetErrorPage(LPCTSTR url) = 0;
    virtual void Release() = 0; // the caller's reference; the control keeps the browser

protected:
    virtual ~IWebBrowser() = default;
};

} // namespace DuiLib
