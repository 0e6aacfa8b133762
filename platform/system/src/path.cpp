#include "system/path.h"

#include "text_codec.h"

#include <climits>
#include <unistd.h>

namespace platform {

std::optional<std::string> WideToUtf8(std::wstring_view wide) {
    std::string out;
    out.reserve(wide.size());
    for (wchar_t w : wide) {
        // wchar_t is UTF-32 here, so every unit must be a whole scalar value.
        const auto c = static_cast<char32_t>(w);
        if (!detail::IsScalarValue(c))
            return std::nullopt;
        detail::AppendUtf8(out, c);
    }
    return out;
}

std::optional<std::wstring> Utf8ToWide(std::string_view utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const size_t length = detail::DecodeUtf8Char(utf8, i, c);
        if (length == 0)
            return std::nullopt;
        out += static_cast<wchar_t>(c);
        i += length;
    }
    return out;
}

std::optional<std::filesystem::path> ToPath(std::wstring_view wide) {
    if (wide.find(L'\0') != std::wstring_view::npos)
        return std::nullopt;
    auto utf8 = WideToUtf8(wide);
    if (!utf8)
        return std::nullopt;
    return std::filesystem::path(std::move(*utf8));
}

std::optional<std::wstring> FromPath(const std::filesystem::path& path) {
    return Utf8ToWide(path.native());
}

std::wstring NormaliseSeparators(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& c : out) {
        if (c == L'\\')
            c = L'/';
    }
    return out;
}

std::wstring ExecutableDirectory() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer)
        return L"./";
    std::string_view exe(buffer, static_cast<size_t>(length));
    const size_t slash = exe.rfind('/');
    if (slash == std::string_view::npos)
        return L"./";
    auto dir = Utf8ToWide(exe.substr(0, slash + 1));
    return dir ? *dir : L"./";
}

} // namespace platform
