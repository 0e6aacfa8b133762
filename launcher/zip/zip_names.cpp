#include "launcher/zip/zip_names.h"

#include "system/below_root.h"
#include "system/path.h"

#include <algorithm>

namespace {

constexpr wchar_t kReplacementCharacter = 0xFFFD;

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The length a UTF-8 lead byte announces; 1 for a byte that cannot start a sequence.
size_t Utf8SequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF7)
        return 4;
    if (lead >= 0xE0)
        return lead <= 0xEF ? 3 : 1;
    return lead >= 0xC0 ? 2 : 1;
}

} // namespace

std::wstring DecodeZipName(std::string_view raw) {
    if (auto whole = platform::Utf8ToWide(raw))
        return std::move(*whole);
    // Sequence by sequence, so overlong forms (a disguised "/" or ".") and surrogates are
    // replaced as well, and never become separators.
    std::wstring out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size();) {
        const size_t length =
            std::min(Utf8SequenceLength(static_cast<unsigned char>(raw[i])), raw.size() - i);
        const auto one = platform::Utf8ToWide(raw.substr(i, length));
        if (one && one->size() == 1) {
            out += (*one)[0];
            i += length;
        } else {
            out += kReplacementCharacter;
            ++i;
        }
    }
    return out;
}

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
    for (wchar_t c : target) {
        if (c < 0x20 || c == 0x7F)
            return std::nullopt;
    }
    const auto utf8 = platform::WideToUtf8(target);
    if (!utf8)
        return std::nullopt;
    auto segments = platform::SplitRelativePath(*utf8);
    if (!segments)
        return std::nullopt;
    // A name ending in a separator (or in "/.") names a directory. A "." names the directory it
    // stands in, so "./" (the root entry some archivers write) is the base itself.
    const std::string_view text(*utf8);
    const std::string_view last = text.substr(text.find_last_of("/\\") + 1);
    ZipTarget result;
    result.isDirectory = last.empty() || last == ".";
    if (segments->empty() && !result.isDirectory)
        return std::nullopt;
    if (!result.isDirectory) {
        result.file = std::move(segments->back());
        segments->pop_back();
    }
    result.directories = std::move(*segments);
    return result;
}

std::vector<std::string> ZipTargetLevels(const ZipTarget& target) {
    std::vector<std::string> levels = target.directories;
    if (!target.isDirectory)
        levels.push_back(target.file);
    return levels;
}
