#include "text_codec.h"

#include <cerrno>
#include <iconv.h>

namespace platform::detail {

namespace {

char32_t Utf16Unit(std::string_view bytes, size_t pos, bool bigEndian) {
    const auto first = static_cast<unsigned char>(bytes[pos]);
    const auto second = static_cast<unsigned char>(bytes[pos + 1]);
    return bigEndian ? (first << 8) | second : (second << 8) | first;
}

// Decodes UTF-16 units; lone surrogates become U+FFFD. Stops at a NUL unit when asked.
std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian, bool stopAtNul) {
    std::wstring out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t unit = Utf16Unit(bytes, i, bigEndian);
        if (unit == 0 && stopAtNul)
            break;
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = Utf16Unit(bytes, i + 2, bigEndian);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                out += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF)
            unit = kReplacementChar;
        out += static_cast<wchar_t>(unit);
    }
    return out;
}

} // namespace

bool IsScalarValue(char32_t c) {
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

size_t DecodeUtf8Char(std::string_view text, size_t pos, char32_t& out) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    size_t extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        out = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - pos <= extra)
        return 0;
    for (size_t k = 1; k <= extra; ++k) {
        const auto next = static_cast<unsigned char>(text[pos + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms and encoded surrogates are rejected so one text has one spelling.
    if (c < minimum || !IsScalarValue(c))
        return 0;
    out = c;
    return extra + 1;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::wstring DecodeUtf8Lossy(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        const size_t length = DecodeUtf8Char(bytes, i, c);
        out += static_cast<wchar_t>(length == 0 ? kReplacementChar : c);
        i += length == 0 ? 1 : length;
    }
    return out;
}

std::wstring DecodeUtf16Lossy(std::string_view bytes, bool bigEndian) {
    return DecodeUtf16(bytes, bigEndian, false);
}

std::optional<std::wstring> DecodeGb18030Lossy(std::string_view bytes) {
    iconv_t converter = iconv_open("UTF-8", "GB18030");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string utf8;
    char chunk[4096];
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* out = chunk;
        size_t outLeft = sizeof chunk;
        const size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
        utf8.append(chunk, static_cast<size_t>(out - chunk));
        if (result != static_cast<size_t>(-1) || errno == E2BIG)
            continue;
        // A byte that starts no GB18030 character (or a cut-off one at the end) is replaced.
        AppendUtf8(utf8, kReplacementChar);
        ++in;
        --inLeft;
    }
    iconv_close(converter);
    return DecodeUtf8Lossy(utf8);
}

std::optional<std::string> EncodeUtf16Le(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    auto put = [&out](char32_t unit) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>(unit >> 8);
    };
    for (wchar_t w : text) {
        const auto c = static_cast<char32_t>(w);
        if (c > 0x10FFFF)
            return std::nullopt;
        if (c >= 0x10000) {
            put(0xD800 + ((c - 0x10000) >> 10));
            put(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

std::wstring DecodeUtf16LeString(std::string_view bytes) {
    return DecodeUtf16(bytes, false, true);
}

} // namespace platform::detail
