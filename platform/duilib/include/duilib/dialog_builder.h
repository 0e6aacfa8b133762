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
    // returns the root control (owned by the caller until AttachDialog), or null when the
    // archive or the file is missing, unreadable or malformed. One control under Window is the
    // root; several share a container filling the window. An element of no known class is made
    // by the callback, else it becomes a plain CControlUI (its children are not built). When
    // parent is a container the root is added to it. The type argument is not used.
    // UI thread only.
    CControlUI* Create(LPCTSTR skinFile, LPCTSTR type = nullptr,
                       IDialogBuilderCallback* callback = nullptr,
                       CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
    CMarkup* GetMarkup();

private:
    CMarkup markup_;
};

} // namespace DuiLib
