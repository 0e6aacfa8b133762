#include "attribute_values.h"

#include <cwctype>

namespace DuiLib::detail {

namespace {

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.back())))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<int> ParseInt(std::wstring_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 9) // nine digits cannot overflow an int
        return std::nullopt;
    int value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        value = value * 10 + (c - L'0');
    }
    return negative ? -value : value;
}

std::optional<std::vector<int>> ParseIntList(std::wstring_view text) {
    std::vector<int> values;
    while (true) {
        const size_t comma = text.find(L',');
        const std::optional<int> value = ParseInt(text.substr(0, comma));
        if (!value)
            return std::nullopt;
        values.push_back(*value);
        if (comma == std::wstring_view::npos)
            return values;
        text.remove_prefix(comma + 1);
    }
}

std::optional<bool> ParseBool(std::wstring_view text) {
    text = Trim(text);
    if (text == L"true" || text == L"1")
        return true;
    if (text == L"false" || text == L"0")
        return false;
    return std::nullopt;
}

std::optional<uint32_t> ParseColor(std::wstring_view text) {
    text = Trim(text);
    if (text.starts_with(L"#"))
        text.remove_prefix(1);
    else if (text.starts_with(L"0x") || text.starts_with(L"0X"))
        text.remove_prefix(2);
    else
        return std::nullopt;
    if (text.size() != 6 && text.size() != 8)
        return std::nullopt;
    uint32_t value = 0;
    for (wchar_t c : text) {
        uint32_t digit = 0;
        if (c >= L'0' && c <= L'9')
            digit = static_cast<uint32_t>(c - L'0');
        else if (c >= L'a' && c <= L'f')
            digit = static_cast<uint32_t>(c - L'a' + 10);
        else if (c >= L'A' && c <= L'F')
            digit = static_cast<uint32_t>(c - L'A' + 10);
        else
            return std::nullopt;
        value = (value << 4) | digit;
    }
    return text.size() == 6 ? (0xFF000000u | value) : value;
}

std::optional<HorizontalAlign> ParseHorizontalAlign(std::wstring_view text) {
    if (text == L"left")
        return HorizontalAlign::Left;
    if (text == L"center")
        return HorizontalAlign::Center;
    if (text == L"right")
        return HorizontalAlign::Right;
    return std::nullopt;
}

} // namespace DuiLib::detail
