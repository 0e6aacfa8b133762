#pragma once
// Text encodings the platform layer reads and writes. Internal to platform_system.
#include <optional>
#include <string>
#include <string_view>

namespace platform::detail {

constexpr char32_t kReplacementChar = 0xFFFD;

// A Unicode scalar value: not a surrogate, not above U+10FFFF.
bool IsScalarValue(char32_t c);

// Decodes the UTF-8 sequence at text[pos]: its length, or 0 when it is malformed, overlong,
// truncated or encodes a surrogate.
size_t DecodeUtf8Char(std::string_view text, size_t pos, char32_t& out);
void AppendUtf8(std::string& out, char32_t c); // c must be a scalar value

// Whole-text decoders for files made elsewhere: malformed input becomes U+FFFD, never a failure.
std::wstring DecodeUtf8Lossy(std::string_view bytes);
std::wstring DecodeUtf16Lossy(std::string_view bytes, bool bigEndian);
// nullopt only when the system has no GB18030 converter.
std::optional<std::wstring> DecodeGb18030Lossy(std::string_view bytes);

// UTF-16LE units of text, supplementary characters as surrogate pairs; nullopt above U+10FFFF.
std::optional<std::string> EncodeUtf16Le(std::wstring_view text);
// UTF-16LE bytes up to the first NUL unit (or the end); an odd last byte is ignored.
std::wstring DecodeUtf16LeString(std::string_view bytes);

} // namespace platform::detail
