#include "profile_document.h"

#include "system/path.h"
#include "text_codec.h"

namespace platform::detail {

namespace {

bool StartsWith(std::string_view bytes, std::string_view prefix) {
    return bytes.substr(0, prefix.size()) == prefix;
}

bool IsValidUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        const size_t length = DecodeUtf8Char(bytes, i, c);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::wstring_view WithoutCr(std::wstring_view text) {
    return !text.empty() && text.back() == L'\r' ? text.substr(0, text.size() - 1) : text;
}

// Splits decoded text into lines; their bytes are the UTF-8 form of the text.
void AddDecodedLines(ProfileDocument& document, std::wstring_view text) {
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find(L'\n', start);
        const std::wstring_view segment = text.substr(
            start, end == std::wstring_view::npos ? std::wstring_view::npos : end - start);
        ProfileLine line;
        line.text = std::wstring(WithoutCr(segment));
        // Decoders only produce scalar values, so the conversion cannot fail.
        line.raw = WideToUtf8(segment).value_or(std::string());
        document.lines.push_back(std::move(line));
        if (end == std::wstring_view::npos)
            return;
        start = end + 1;
    }
    document.finalNewline = !text.empty();
}

// Splits UTF-8 bytes into lines that keep their exact bytes.
void AddUtf8Lines(ProfileDocument& document, std::string_view bytes) {
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find('\n', start);
        const std::string_view segment = bytes.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        ProfileLine line;
        line.raw = std::string(segment);
        line.text = std::wstring(WithoutCr(DecodeUtf8Lossy(segment)));
        document.lines.push_back(std::move(line));
        if (end == std::string_view::npos)
            return;
        start = end + 1;
    }
    document.finalNewline = !bytes.empty();
}

} // namespace

ProfileLine MakeProfileLine(std::wstring_view text, bool crlf) {
    ProfileLine line{WideToUtf8(text).value_or(std::string()), std::wstring(text)};
    if (crlf)
        line.raw += '\r';
    return line;
}

std::string ProfileDocument::Serialise() const {
    std::string out = bom;
    for (size_t i = 0; i < lines.size(); ++i) {
        out += lines[i].raw;
        if (i + 1 < lines.size() || finalNewline)
            out += '\n';
    }
    return out;
}

ProfileDocument ParseProfile(std::string_view bytes) {
    ProfileDocument document;
    constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
    if (StartsWith(bytes, kUtf8Bom)) {
        document.bom = std::string(kUtf8Bom);
        AddUtf8Lines(document, bytes.substr(kUtf8Bom.size()));
    } else if (StartsWith(bytes, "\xFF\xFE")) {
        AddDecodedLines(document, DecodeUtf16Lossy(bytes.substr(2), false));
    } else if (StartsWith(bytes, "\xFE\xFF")) {
        AddDecodedLines(document, DecodeUtf16Lossy(bytes.substr(2), true));
    } else if (IsValidUtf8(bytes)) {
        AddUtf8Lines(document, bytes);
    } else {
        // Older installations wrote their ini files in the Chinese legacy code page.
        const auto text = DecodeGb18030Lossy(bytes);
        AddDecodedLines(document, text ? *text : DecodeUtf8Lossy(bytes));
    }
    document.crlf = !document.lines.empty() && document.lines.front().raw.ends_with('\r');
    return document;
}

// Carriage returns count as blanks: a decoded scrambled file ends its lines in CR CR LF.
std::wstring_view TrimBlanks(std::wstring_view text) {
    const size_t first = text.find_first_not_of(L" \t\r");
    if (first == std::wstring_view::npos)
        return {};
    const size_t last = text.find_last_not_of(L" \t\r");
    return text.substr(first, last - first + 1);
}

ParsedLine ClassifyLine(std::wstring_view text) {
    const std::wstring_view line = TrimBlanks(text);
    if (line.empty() || line.front() == L';')
        return {};
    if (line.front() == L'[') {
        const size_t close = line.find(L']');
        if (close == std::wstring_view::npos)
            return {};
        return {LineKind::Section, TrimBlanks(line.substr(1, close - 1)), {}};
    }
    const size_t equals = line.find(L'=');
    if (equals == 0)
        return {};
    if (equals == std::wstring_view::npos)
        return {LineKind::Key, line, {}};
    std::wstring_view value = TrimBlanks(line.substr(equals + 1));
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == L'"' || value.front() == L'\''))
        value = value.substr(1, value.size() - 2);
    return {LineKind::Key, TrimBlanks(line.substr(0, equals)), value};
}

} // namespace platform::detail
