#include "system/path.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using platform::FromPath;
using platform::ToPath;

TEST(PathTest, NamesRoundTripThroughUtf8) {
    const std::wstring text = L"temp/\u670D\u52A1\u5668 caf\u00E9 \U0001F600.ini";
    const auto path = ToPath(text);
    ASSERT_TRUE(path);
    EXPECT_EQ(path->native(),
              "temp/\xE6\x9C\x8D\xE5\x8A\xA1\xE5\x99\xA8 caf\xC3\xA9 \xF0\x9F\x98\x80.ini");
    EXPECT_EQ(FromPath(*path), text);
    EXPECT_EQ(platform::Utf8ToWide("\xF4\x8F\xBF\xBF"), std::wstring(1, wchar_t(0x10FFFF)));
}

// A name that cannot be converted exactly would open a different file, so it is refused.
TEST(PathTest, TextThatIsNoUnicodeIsRefusedEitherWay) {
    for (const wchar_t bad : {wchar_t(0xD800), wchar_t(0xDFFF), wchar_t(0x110000), wchar_t(0)})
        EXPECT_FALSE(ToPath(std::wstring(L"a") + bad + L"b")) << static_cast<long>(bad);
    // Overlong "/", an encoded surrogate, above U+10FFFF, cut off, lone continuation bytes.
    for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                            "\xE4\xB8", "\x80", "\xFF", "ok\xC3("})
        EXPECT_FALSE(FromPath(std::filesystem::path(bad))) << bad;
}

} // namespace
