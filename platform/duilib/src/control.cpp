#include <algorithm>
#include <string_view>

#include "attribute_values.h"
#include "control_tree.h"
#include "duilib/controls.h"
#include "duilib/paint_manager.h"
#include "duilib/renderer.h"
#include "duilib/window.h"

namespace DuiLib {

namespace {

bool Is(LPCTSTR name, const wchar_t* expected) {
    return std::wstring_view(name) == expected;
}

void ApplyAlign(ControlLook& look, std::wstring_view value) {
    // Tokens separated by commas or spaces: left|center|right and top|vcenter|bottom.
    size_t start = 0;
    while (start < value.size()) {
        size_t end = value.find_first_of(L", ", start);
        if (end == std::wstring_view::npos)
            end = value.size();
        const std::wstring_view token = value.substr(start, end - start);
        if (const auto horizontal = detail::ParseHorizontalAlign(token))
            look.hAlign = *horizontal;
        else if (token == L"top")
            look.vAlign = VerticalAlign::Top;
        else if (token == L"vcenter")
            look.vAlign = VerticalAlign::Center;
        else if (token == L"bottom")
            look.vAlign = VerticalAlign::Bottom;
        start = end + 1;
    }
}

void SetColor(uint32_t& target, LPCTSTR value) {
    if (const auto color = detail::ParseColor(value))
        target = *color;
}

// Text without a colour of its own is drawn black, as a skin author expects.
constexpr uint32_t kDefaultTextColor = 0xFF000000;

uint32_t ColorOr(uint32_t color, uint32_t fallback) {
    return color != 0 ? color : fallback;
}

} // namespace

CControlUI::CControlUI() : life_(std::make_shared<char>()) {}

CControlUI::~CControlUI() {
    // The manager forgets the control: no name lookup, capture or hover can reach it any more.
    if (manager_ != nullptr)
        manager_->ReapObjects(this);
}

CStdString CControlUI::GetName() const {
    return name_;
}

void CControlUI::SetName(LPCTSTR name) {
    // The manager's name map must never hold a stale name.
    if (manager_ != nullptr)
        manager_->UnregisterName(this);
    name_ = name;
    if (manager_ != nullptr)
        manager_->RegisterName(this);
}

LPCTSTR CControlUI::GetClass() const {
    return L"ControlUI";
}

CStdString CControlUI::GetText() const {
    return text_;
}

void CControlUI::SetText(LPCTSTR text) {
    text_ = text;
    Invalidate();
}

CStdString CControlUI::GetToolTip() const {
    return toolTip_;
}

void CControlUI::SetToolTip(LPCTSTR text) {
    toolTip_ = text;
}

const RECT& CControlUI::GetPos() const {
    return pos_;
}

void CControlUI::SetPos(RECT rc) {
    // Both the place left and the place taken need repainting.
    Invalidate();
    pos_ = rc;
    Invalidate();
}

SIZE CControlUI::GetFixedXY() const {
    return fixedXY_;
}

void CControlUI::SetFixedXY(SIZE xy) {
    fixedXY_ = xy;
    hasFixedPos_ = true;
    MoveToFixedPos();
}

int CControlUI::GetFixedWidth() const {
    return fixedWidth_;
}

void CControlUI::SetFixedWidth(int width) {
    fixedWidth_ = width < 0 ? 0 : width;
    hasFixedPos_ = true;
    MoveToFixedPos();
}

int CControlUI::GetFixedHeight() const {
    return fixedHeight_;
}

void CControlUI::SetFixedHeight(int height) {
    fixedHeight_ = height < 0 ? 0 : height;
    hasFixedPos_ = true;
    MoveToFixedPos();
}

bool CControlUI::HasFixedPos() const {
    return hasFixedPos_;
}

RECT CControlUI::PlacedRect(const RECT& parentArea) const {
    if (!hasFixedPos_)
        return parentArea;
    const int left = parentArea.left + fixedXY_.cx;
    const int top = parentArea.top + fixedXY_.cy;
    return RECT{left, top, left + fixedWidth_, top + fixedHeight_};
}

void CControlUI::PlaceIn(const RECT& parentArea) {
    SetPos(PlacedRect(parentArea));
}

void CControlUI::MoveToFixedPos() {
    // A moved container takes its children along (SetPos), keeping places given by hand.
    if (parent_ != nullptr) {
        SetPos(PlacedRect(parent_->GetPos()));
    } else if (manager_ != nullptr && manager_->GetRoot() == this) {
        RECT client;
        if (GetClientRect(manager_->GetPaintWindow(), &client))
            SetPos(PlacedRect(client));
    }
}

uintptr_t CControlUI::GetTag() const {
    return tag_;
}

void CControlUI::SetTag(uintptr_t tag) {
    tag_ = tag;
}

void* CControlUI::GetUserPtrData() const {
    return userData_;
}

void CControlUI::SetUserPtrData(void* data) {
    userData_ = data;
}

bool CControlUI::IsVisible() const {
    return visible_;
}

void CControlUI::SetVisible(bool visible) {
    if (visible_ == visible)
        return;
    visible_ = visible;
    Invalidate();
}

bool CControlUI::IsEnabled() const {
    return enabled_;
}

void CControlUI::SetEnabled(bool enabled) {
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    Invalidate();
}

CStdString CControlUI::GetBkImage() const {
    return bkImage_;
}

void CControlUI::SetBkImage(LPCTSTR image) {
    bkImage_ = image;
    Invalidate();
}

const ControlLook& CControlUI::GetLook() const {
    return look_;
}

void CControlUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (name == nullptr || value == nullptr)
        return;
    if (Is(name, L"pos")) {
        // Left, top, right, bottom relative to the parent's top-left corner.
        const auto values = detail::ParseIntList(value);
        if (!values || values->size() != 4)
            return;
        fixedXY_ = SIZE{(*values)[0], (*values)[1]};
        fixedWidth_ = std::max(0, (*values)[2] - (*values)[0]);
        fixedHeight_ = std::max(0, (*values)[3] - (*values)[1]);
        hasFixedPos_ = true;
        MoveToFixedPos();
    } else if (Is(name, L"name")) {
        SetName(value);
    } else if (Is(name, L"text")) {
        SetText(value);
    } else if (Is(name, L"tooltip")) {
        SetToolTip(value);
    } else if (Is(name, L"bkimage")) {
        SetBkImage(value);
    } else if (Is(name, L"bkcolor")) {
        SetColor(look_.bkColor, value);
    } else if (Is(name, L"hotbkcolor")) {
        SetColor(look_.hotBkColor, value);
    } else if (Is(name, L"pushedbkcolor")) {
        SetColor(look_.pushedBkColor, value);
    } else if (Is(name, L"selectedbkcolor")) {
        SetColor(look_.selectedBkColor, value);
    } else if (Is(name, L"disabledbkcolor")) {
        SetColor(look_.disabledBkColor, value);
    } else if (Is(name, L"textcolor")) {
        SetColor(look_.textColor, value);
    } else if (Is(name, L"disabledtextcolor")) {
        SetColor(look_.disabledTextColor, value);
    } else if (Is(name, L"bordercolor")) {
        SetColor(look_.borderColor, value);
    } else if (Is(name, L"bordersize")) {
        if (const auto size = detail::ParseInt(value); size && *size >= 0)
            look_.borderSize = *size;
    } else if (Is(name, L"fontsize")) {
        if (const auto size = detail::ParseInt(value); size && *size >= 0)
            look_.fontSize = *size;
    } else if (Is(name, L"font")) {
        look_.font = value;
    } else if (Is(name, L"bold")) {
        if (const auto bold = detail::ParseBool(value))
            look_.bold = *bold;
    } else if (Is(name, L"align")) {
        ApplyAlign(look_, value);
    } else if (Is(name, L"visible")) {
        if (const auto visible = detail::ParseBool(value))
            SetVisible(*visible);
    } else if (Is(name, L"enabled")) {
        if (const auto enabled = detail::ParseBool(value))
            SetEnabled(*enabled);
    }
}

CControlUI* CControlUI::FindControlAt(POINT pt) {
    // Hidden controls are not hit; disabled ones are, so hit tests still see their class.
    if (!visible_)
        return nullptr;
    return CDuiRect(pos_).Contains(pt) ? this : nullptr;
}

void CControlUI::DoEvent(TEventUI& /*event*/) {}

void CControlUI::Event(TEventUI& event) {
    if (OnEvent(&event))
        DoEvent(event);
}

CPaintManagerUI* CControlUI::GetManager() const {
    return manager_;
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    if (manager_ != nullptr && manager_ != manager)
        manager_->UnregisterName(this);
    parent_ = parent;
    manager_ = manager;
    // Registering twice is harmless; a manager re-attaching its tree relies on it.
    if (manager_ != nullptr)
        manager_->RegisterName(this);
}

CControlUI* CControlUI::GetParent() const {
    return parent_;
}

void CControlUI::Invalidate() {
    if (manager_ != nullptr)
        manager_->Invalidate(pos_);
}

bool CControlUI::IsHot() const {
    return hot_;
}

bool CControlUI::IsPushed() const {
    return pushed_;
}

void CControlUI::SetHot(bool hot) {
    if (hot_ == hot)
        return;
    hot_ = hot;
    Invalidate();
}

void CControlUI::SetPushed(bool pushed) {
    if (pushed_ == pushed)
        return;
    pushed_ = pushed;
    Invalidate();
}

void CControlUI::DoPaint(IRenderer& renderer, const RECT& dirty) {
    if (!visible_ || CDuiRect(pos_).Intersection(dirty).IsEmpty())
        return;
    if (const CStdString stateImage = BkImageForState(); !stateImage.IsEmpty()) {
        renderer.DrawImage(stateImage.str(), pos_, RECT{});
    } else {
        if (const uint32_t color = BkColorForState(); color != 0)
            renderer.FillRect(pos_, color);
        if (!bkImage_.IsEmpty())
            renderer.DrawImage(bkImage_.str(), pos_, RECT{});
    }
    PaintStatus(renderer);
    PaintText(renderer);
    if (look_.borderSize > 0 && look_.borderColor != 0)
        renderer.DrawBorder(pos_, look_.borderColor, look_.borderSize);
}

// A disabled control looks disabled whatever the mouse does; a state without a colour of its
// own shows the normal background.
uint32_t CControlUI::BkColorForState() const {
    if (!detail::EnabledInTree(this))
        return ColorOr(look_.disabledBkColor, look_.bkColor);
    if (pushed_)
        return ColorOr(look_.pushedBkColor, look_.bkColor);
    if (PaintsSelected())
        return ColorOr(look_.selectedBkColor, look_.bkColor);
    if (hot_)
        return ColorOr(look_.hotBkColor, look_.bkColor);
    return look_.bkColor;
}

CStdString CControlUI::BkImageForState() const {
    return CStdString();
}

void CControlUI::PaintStatus(IRenderer& /*renderer*/) {}

void CControlUI::PaintText(IRenderer& renderer) {
    const CStdString text = GetText();
    if (!text.IsEmpty())
        renderer.DrawText(text.str(), pos_, TextStyleForState());
}

TextStyle CControlUI::TextStyleForState() const {
    TextStyle style;
    style.size = look_.fontSize;
    style.font = look_.font;
    style.bold = look_.bold;
    style.color = ColorOr(look_.textColor, kDefaultTextColor);
    if (!detail::EnabledInTree(this))
        style.color = ColorOr(look_.disabledTextColor, style.color);
    style.hAlign = look_.hAlign;
    style.vAlign = look_.vAlign;
    return style;
}

bool CControlUI::PaintsSelected() const {
    return false;
}

} // namespace DuiLib
