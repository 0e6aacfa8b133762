#pragma once
// Builds a control tree from a skin file of the skin archive.
#include "duilib/controls.h"
#include "duilib/markup.h"
#include "duilib/paint_manager.h"

namespace DuiLib {

class IDialogBuilderCallback {
public:
    virtual CControlUI* CreateControl(LPCTSTR className) = 0;

protected:
    virtual ~IDialogBuilderCallback() = default;
};

class CDialogBuilder {
public:
    // Reads the skin file from the archive, applies the window attributes to the manager and
    // returns the root control (owned by the caller until AttachDialog), or null when the file
    // is missing or malformed.
    CControlUI* Create(LPCTSTR skinFile, LPCTSTR type = nullptr,
                       IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
    CMarkup* GetMarkup();

private:
    CMarkup markup_;
};

} // namespace DuiLib
