#include "case_fold.h"

#include <cwctype>
#include <locale.h>

namespace platform::detail {

namespace {

// The process locale stays as it is; a private UTF-8 ctype locale gives the wide mappings that
// the "C" locale lacks. Created once and kept for the life of the process.
locale_t WideCaseLocale() {
    static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return locale;
}

} // namespace

wchar_t FoldCase(wchar_t c) {
    if (c < 0x80)
        return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c;
    const locale_t locale = WideCaseLocale();
    const auto code = static_cast<wint_t>(c);
    return static_cast<wchar_t>(locale != static_cast<locale_t>(0) ? towlower_l(code, locale)
                                                                   : code);
}

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    }
    return true;
}

} // namespace platform::detail
