#pragma once
// Case-insensitive name comparison for ini sections and keys and registry names. Internal.
#include <string_view>

namespace platform::detail {

// The lower-case form of c by Unicode's simple mapping, independent of the process locale.
wchar_t FoldCase(wchar_t c);
bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b);

} // namespace platform::detail
