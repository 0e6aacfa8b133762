#include "launcher/zip/zip_names.h"

#include "system/path.h"

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

} // namespace

std::wstring SanitiseZipName(std::wstring_view name) {
    static constexpr std::wstring_view kParentGroups[] = {L"\\..\\", L"\\../", L"/../", L"/..\\"};
    for (;;) {
        if (name.size() >= 2 && name[1] == L':') {
            name.remove_prefix(2);
            continue;
        }
        if (!name.empty() && IsSeparator(name[0])) {
            name.remove_prefix(1);
            continue;
        }
        // The first of the four forms that occurs anywhere wins, at its first occurrence.
        bool cut = false;
        for (std::wstring_view group : kParentGroups) {
            const size_t at = name.find(group);
            if (at != std::wstring_view::npos) {
                name.remove_prefix(at + group.size());
                cut = true;
                break;
            }
        }
        if (!cut)
            return std::wstring(name);
    }
}

std::optional<ZipTarget> ResolveZipTarget(std::wstring_view target) {
    if (target.empty())
        return std::nullopt;
    for (wchar_t c : target) {
        if (c < 0x20 || c == 0x7F)
            return std::nullopt;
    }
    if (IsSeparator(target[0]) || (target.size() >= 2 && target[1] == L':'))
        return std::nullopt;

    const auto utf8 = platform::WideToUtf8(platform::NormaliseSeparators(target));
    if (!utf8)
        return std::nullopt;

    ZipTarget result;
    std::string_view rest(*utf8);
    std::string_view last;
    for (;;) {
        const size_t slash = rest.find('/');
        last = rest.substr(0, slash);
        if (last == "..")
            return std::nullopt;
        if (!last.empty() && last != ".")
            result.directories.emplace_back(last);
        if (slash == std::string_view::npos)
            break;
        rest.remove_prefix(slash + 1);
    }
    if (result.directories.empty())
        return std::nullopt;
    result.isDirectory = last.empty() || last == ".";
    if (!result.isDirectory) {
        result.file = std::move(result.directories.back());
        result.directories.pop_back();
    }
    return result;
}
