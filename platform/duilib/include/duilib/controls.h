#pragma once
// Controls of a skin. A control belongs to one paint manager and is touched only on the UI
// thread. Positions are client coordinates of the control's window.
//
// Layout is absolute: a control with a skin position sits at its fixed offset from the parent's
// top-left corner with its fixed size; a control without one fills its parent. Moving a
// container moves its children with it, so a position set with SetPos stays until the control
// itself is placed again.
#include <memory>
#include <vector>

#include "duilib/delegate.h"
#include "duilib/look.h"
#include "duilib/std_string.h"
#include "duilib/types.h"

namespace DuiLib {

class CPaintManagerUI;
class IRenderer;
class IWebBrowser;
struct TextStyle;

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual CStdString GetName() const;
    virtual void SetName(LPCTSTR name);
    virtual LPCTSTR GetClass() const; // "ControlUI"

    virtual CStdString GetText() const;
    virtual void SetText(LPCTSTR text);
    CStdString GetToolTip() const;
    void SetToolTip(LPCTSTR text);

    // The control's rectangle in client coordinates, as laid out.
    virtual const RECT& GetPos() const;
    virtual void SetPos(RECT rc);
    // Position given by the skin, relative to the parent's top-left corner. Setting one of
    // these places the control again inside its parent.
    virtual SIZE GetFixedXY() const;
    virtual void SetFixedXY(SIZE xy);
    virtual int GetFixedWidth() const;
    virtual void SetFixedWidth(int width);
    virtual int GetFixedHeight() const;
    virtual void SetFixedHeight(int height);
    // False when the control has no fixed position and fills its parent.
    bool HasFixedPos() const;
    // The rectangle the fixed position gives inside parentArea.
    RECT PlacedRect(const RECT& parentArea) const;
    // Lays the control (and its children) out from the fixed positions inside parentArea.
    virtual void PlaceIn(const RECT& parentArea);

    virtual uintptr_t GetTag() const;
    virtual void SetTag(uintptr_t tag);
    virtual void* GetUserPtrData() const;
    virtual void SetUserPtrData(void* data);

    virtual bool IsVisible() const;
    virtual void SetVisible(bool visible = true);
    virtual bool IsEnabled() const;
    virtual void SetEnabled(bool enabled = true);

    virtual CStdString GetBkImage() const;
    virtual void SetBkImage(LPCTSTR image);
    const ControlLook& GetLook() const;

    // Skin attributes ("pos", "text", "bkcolor", ...); unknown names are ignored.
    virtual void SetAttribute(LPCTSTR name, LPCTSTR value);

    virtual CControlUI* FindControlAt(POINT pt); // the innermost visible control at pt, or null
    virtual void DoEvent(TEventUI& event);       // the control's own reaction to an event
    void Event(TEventUI& event);                 // OnEvent delegates first, then DoEvent

    CPaintManagerUI* GetManager() const;
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent);
    CControlUI* GetParent() const;
    void Invalidate();

    // Draws the control, and what it holds, into renderer; dirty is the part of the window
    // being repainted. A hidden control, or one outside dirty, draws nothing.
    virtual void DoPaint(IRenderer& renderer, const RECT& dirty);
    // Hot: under the mouse. Pushed: holding the left button since it went down here. The paint
    // manager sets both; a change repaints the control.
    bool IsHot() const;
    bool IsPushed() const;

    CEventSource OnEvent;

protected:
    // The parts DoPaint draws, in order: background (colour for the state, then image),
    // status (what a control shows of its value), text, border.
    virtual uint32_t BkColorForState() const;
    // An image that stands in for the whole background in the current state; empty: none.
    virtual CStdString BkImageForState() const;
    virtual void PaintStatus(IRenderer& renderer);
    virtual void PaintText(IRenderer& renderer);
    virtual TextStyle TextStyleForState() const;
    // Options and list items show their selection.
    virtual bool PaintsSelected() const;

    // Expires when the control is destroyed: code that sends a notification checks it before
    // touching the control again, since a notifier may have deleted it.
    std::weak_ptr<char> LifeToken() const { return life_; }

    CPaintManagerUI* manager_ = nullptr;
    CControlUI* parent_ = nullptr;
    CStdString name_;
    CStdString text_;
    CStdString toolTip_;
    CStdString bkImage_;
    ControlLook look_;
    RECT pos_;
    SIZE fixedXY_;
    int fixedWidth_ = 0;
    int fixedHeight_ = 0;
    bool hasFixedPos_ = false;
    uintptr_t tag_ = 0;
    void* userData_ = nullptr;
    bool visible_ = true;
    bool enabled_ = true;
    bool hot_ = false;
    bool pushed_ = false;

private:
    friend class CPaintManagerUI;
    void SetHot(bool hot);
    void SetPushed(bool pushed);
    void MoveToFixedPos();

    std::shared_ptr<char> life_;
};

class CContainerUI : public CControlUI {
public:
    ~CContainerUI() override;
    LPCTSTR GetClass() const override; // "ContainerUI"
    virtual int GetCount() const;
    virtual CControlUI* GetItemAt(int index) const;
    int GetItemIndex(CControlUI* control) const; // -1 when it is not an item
    virtual bool Add(CControlUI* control);       // false: not added, the caller still owns it
    virtual bool Remove(CControlUI* control);    // frees the item
    virtual void RemoveAll();                    // frees the items
    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
    void SetPos(RECT rc) override;
    void PlaceIn(const RECT& parentArea) override;
    CControlUI* FindControlAt(POINT pt) override;
    // The container, then its visible items clipped to its rectangle.
    void DoPaint(IRenderer& renderer, const RECT& dirty) override;

protected:
    std::vector<CControlUI*> items_;
};

class CVerticalLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override; // "VerticalLayoutUI"
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override; // "HorizontalLayoutUI"
};

class CLabelUI : public CControlUI {
public:
    LPCTSTR GetClass() const override; // "LabelUI"
};

class CTextUI : public CLabelUI {
public:
    LPCTSTR GetClass() const override; // "TextUI"
};

// Sends "click" on button-up over the control that got the button-down.
class CButtonUI : public CLabelUI {
public:
    LPCTSTR GetClass() const override; // "ButtonUI"
    void DoEvent(TEventUI& event) override;
    // Sends "click" when the button is enabled and visible; true when it did.
    virtual bool Activate();
    // Adds the state images: "normalimage", "hotimage", "pushedimage", "disabledimage".
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;

protected:
    CStdString BkImageForState() const override;

    CStdString normalImage_;
    CStdString hotImage_;
    CStdString pushedImage_;
    CStdString disabledImage_;
};

// A button with a selected state; options of one group select one another out.
class COptionUI : public CButtonUI {
public:
    LPCTSTR GetClass() const override; // "OptionUI"
    // During "click" this still reports the state from before the click.
    virtual bool IsSelected() const;
    virtual void Selected(bool selected);
    CStdString GetGroup() const;
    void SetGroup(LPCTSTR group);
    void DoEvent(TEventUI& event) override;
    // "click" first, then the toggle (in a group: becomes selected).
    bool Activate() override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;

protected:
    bool PaintsSelected() const override;

    bool selected_ = false;
    CStdString group_;
};

class CProgressUI : public CLabelUI {
public:
    LPCTSTR GetClass() const override; // "ProgressUI"
    int GetMinValue() const;
    void SetMinValue(int value);
    int GetMaxValue() const;
    void SetMaxValue(int value);
    int GetValue() const;
    void SetValue(int value); // kept within [min, max]
    uint32_t GetForeColor() const;
    CStdString GetForeImage() const;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;

protected:
    // The bar: the part of the rectangle the value fills, from the left.
    void PaintStatus(IRenderer& renderer) override;

    int min_ = 0;
    int max_ = 100;
    int value_ = 0;
    uint32_t foreColor_ = 0;
    CStdString foreImage_;
};

// An item of a list; button-down runs its OnEvent delegates, then selects it and sends
// "itemclick" when they let it through.
class CListLabelElementUI : public CLabelUI {
public:
    LPCTSTR GetClass() const override; // "ListLabelElementUI"
    bool IsSelected() const;
    // Inside a list or combo this selects through the owner, so one item is selected at most.
    void Select(bool selected = true);
    void DoEvent(TEventUI& event) override;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;

protected:
    // A row of a list takes the list's item colours, alignment and text padding, and the list's
    // font where it has none of its own.
    uint32_t BkColorForState() const override;
    TextStyle TextStyleForState() const override;
    bool PaintsSelected() const override;
    void PaintText(IRenderer& renderer) override;

    friend class CListUI;
    friend class CComboUI;
    bool selected_ = false;
};

// Items are stacked top-down, one row of the item height each.
class CListUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override; // "ListUI"
    int GetCurSel() const;
    bool SelectItem(int index); // -1 clears the selection; no notification
    bool Add(CControlUI* control) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;
    void SetPos(RECT rc) override;
    void PlaceIn(const RECT& parentArea) override;
    const ListItemLook& GetItemLook() const;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;

protected:
    void StackItems();
    RECT RowRect(int index) const;

    int curSel_ = -1;
    ListItemLook itemLook_;
};

// Items live in the drop-down, not in the combo's rectangle: hit tests stop at the combo.
class CComboUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override; // "ComboUI"
    int GetCurSel() const;
    bool SelectItem(int index); // sends "itemselect" when the selection changes
    void SetDrawSelText(bool draw);
    bool GetDrawSelText() const;
    CStdString GetText() const override; // the selected item's text
    bool Add(CControlUI* control) override;
    bool Remove(CControlUI* control) override;
    void RemoveAll() override;
    void SetPos(RECT rc) override;
    void PlaceIn(const RECT& parentArea) override;
    CControlUI* FindControlAt(POINT pt) override;
    // Button-up over the combo opens the backend's drop-down.
    void DoEvent(TEventUI& event) override;
    const ListItemLook& GetItemLook() const;
    void SetAttribute(LPCTSTR name, LPCTSTR value) override;
    // The combo's own box with the selected item's text; the rows belong to the drop-down.
    void DoPaint(IRenderer& renderer, const RECT& dirty) override;

protected:
    void PaintText(IRenderer& renderer) override;
    void SyncItemSelection();

    int curSel_ = -1;
    bool drawSelText_ = true;
    ListItemLook itemLook_;
};

// Hosts the embedded browser; GetControl gives its interface, or null when there is none.
class CActiveXUI : public CControlUI {
public:
    ~CActiveXUI() override;
    LPCTSTR GetClass() const override; // "ActiveXUI"
    // Made on first use once the control's window exists; the control keeps it until it is
    // destroyed, whatever callers do with Release.
    IWebBrowser* GetControl();
    void SetPos(RECT rc) override;
    void SetVisible(bool visible = true) override;
    // Nothing: the browser's native child covers the control.
    void DoPaint(IRenderer& renderer, const RECT& dirty) override;

private:
    IWebBrowser* browser_ = nullptr;
};

} // namespace DuiLib
