#include "duilib/dialog_builder.h"

#include <string>
#include <string_view>

#include "attribute_values.h"
#include "skin_archive.h"

namespace DuiLib {

namespace {

// Deeper trees are no skin of ours; stopping keeps a hostile file from exhausting the stack.
constexpr int kMaxDepth = 64;

CControlUI* MakeControl(std::wstring_view element, IDialogBuilderCallback* callback) {
    if (element == L"Control")
        return new CControlUI;
    if (element == L"Container")
        return new CContainerUI;
    if (element == L"VerticalLayout")
        return new CVerticalLayoutUI;
    if (element == L"HorizontalLayout")
        return new CHorizontalLayoutUI;
    if (element == L"Label")
        return new CLabelUI;
    if (element == L"Text")
        return new CTextUI;
    if (element == L"Button")
        return new CButtonUI;
    if (element == L"Option")
        return new COptionUI;
    if (element == L"Progress")
        return new CProgressUI;
    if (element == L"List")
        return new CListUI;
    if (element == L"ListLabelElement")
        return new CListLabelElementUI;
    if (element == L"Combo")
        return new CComboUI;
    if (element == L"ActiveX")
        return new CActiveXUI;
    const std::wstring name(element);
    if (callback != nullptr) {
        if (CControlUI* control = callback->CreateControl(name.c_str()))
            return control;
    }
    // An element this library does not know still keeps its name and place in the tree.
    return new CControlUI;
}

CControlUI* BuildControl(const CMarkupNode& node, IDialogBuilderCallback* callback, int depth) {
    CControlUI* control = MakeControl(node.GetName().str(), callback);
    const int count = node.GetAttributeCount();
    for (int i = 0; i < count; ++i)
        control->SetAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
    auto* container = dynamic_cast<CContainerUI*>(control);
    if (container == nullptr || depth >= kMaxDepth)
        return control;
    for (CMarkupNode child = node.GetChild(); child.IsValid(); child = child.GetSibling()) {
        CControlUI* item = BuildControl(child, callback, depth + 1);
        if (!container->Add(item))
            delete item;
    }
    return control;
}

void ApplyWindowAttributes(const CMarkupNode& window, CPaintManagerUI& manager) {
    const int count = window.GetAttributeCount();
    for (int i = 0; i < count; ++i) {
        const std::wstring name = window.GetAttributeName(i).str();
        const std::wstring value = window.GetAttributeValue(i).str();
        if (name == L"bkcolor") {
            if (const auto color = detail::ParseColor(value))
                manager.SetBkColor(*color);
            continue;
        }
        const auto numbers = detail::ParseIntList(value);
        if (!numbers)
            continue;
        if (name == L"size" && numbers->size() == 2)
            manager.SetInitSize((*numbers)[0], (*numbers)[1]);
        else if (name == L"caption" && numbers->size() == 4)
            manager.SetCaptionRect(
                RECT{(*numbers)[0], (*numbers)[1], (*numbers)[2], (*numbers)[3]});
        else if (name == L"roundcorner" && numbers->size() == 2)
            manager.SetRoundCorner((*numbers)[0], (*numbers)[1]);
    }
}

} // namespace

CControlUI* CDialogBuilder::Create(LPCTSTR skinFile, LPCTSTR /*type*/,
                                   IDialogBuilderCallback* callback, CPaintManagerUI* manager,
                                   CControlUI* parent) {
    if (skinFile == nullptr)
        return nullptr;
    // Skins come only from the archive: a loose file beside it is never read.
    std::string bytes;
    if (!detail::ReadArchiveEntry(detail::SkinArchivePath(), skinFile, bytes))
        return nullptr;
    if (!markup_.LoadFromMem(bytes.data(), bytes.size(), 0))
        return nullptr;
    const CMarkupNode root = markup_.GetRoot();

    CControlUI* built = nullptr;
    if (root.GetName() == L"Window") {
        if (manager != nullptr)
            ApplyWindowAttributes(root, *manager);
        // One control under the window is the root; several (or none) share a container that
        // fills the window.
        const CMarkupNode first = root.GetChild();
        if (first.IsValid() && !first.GetSibling().IsValid()) {
            built = BuildControl(first, callback, 0);
        } else {
            auto* container = new CContainerUI;
            for (CMarkupNode child = first; child.IsValid(); child = child.GetSibling()) {
                CControlUI* item = BuildControl(child, callback, 1);
                if (!container->Add(item))
                    delete item;
            }
            built = container;
        }
    } else {
        built = BuildControl(root, callback, 0);
    }

    if (auto* container = dynamic_cast<CContainerUI*>(parent)) {
        if (!container->Add(built)) {
            delete built;
            return nullptr;
        }
    }
    return built;
}

CMarkup* CDialogBuilder::GetMarkup() {
    return &markup_;
}

} // namespace DuiLib
