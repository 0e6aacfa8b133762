#include "duilib/controls.h"

namespace DuiLib {

LPCTSTR CLabelUI::GetClass() const {
    return L"LabelUI";
}

LPCTSTR CTextUI::GetClass() const {
    return L"TextUI";
}

} // namespace DuiLib
