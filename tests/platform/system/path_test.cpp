#include "system/path.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using platform::FromPath;
using platform::ToPath;
using platform::Utf8ToWide;
using platform::WideToUtf8;

TEST(PathTest, TextRoundTripsThroughUtf8) {
    const std::wstring text = L"temp/\u670D\u52A1\u5668 caf\u00E9 \U0001F600.ini";
    const auto utf8 = WideToUtf8(text);
    ASSERT_TRUE(utf8);
    EXPECT_EQ(*utf8, "temp/\xE6\x9C\x8D\xE5\x8A\xA1\xE5\x99\xA8 caf\xC3\xA9 \xF0\x9F\x98\x80.ini");
    EXPECT_EQ(Utf8ToWide(*utf8), text);
    const auto path = ToPath(text);
    ASSERT_TRUE(path);
    EXPECT_EQ(path->native(), *utf8);
    EXPECT_EQ(FromPath(*path), text);
    EXPECT_EQ(WideToUtf8(L""), "");
}

TEST(PathTest, WideTextThatIsNoUnicodeIsRefused) {
    for (const wchar_t bad : {wchar_t(0xD800), wchar_t(0xDFFF), wchar_t(0x110000), wchar_t(-1)}) {
        const std::wstring text = std::wstring(L"a") + bad + L"b";
        EXPECT_FALSE(WideToUtf8(text)) << static_cast<long>(bad);
        EXPECT_FALSE(ToPath(text)) << static_cast<long>(bad);
    }
    EXPECT_FALSE(ToPath(std::wstring(L"a\0b", 3))); // would name a different file
}

TEST(PathTest, MalformedUtf8IsRefused) {
    const char* cases[] = {
        "\xC0\xAF",         // overlong "/"
        "\xE0\x80\xAF",     // overlong, three bytes
        "\xED\xA0\x80",     // an encoded surrogate
        "\xF4\x90\x80\x80", // above U+10FFFF
        "\xE4\xB8",         // cut off
        "\x80",             // a lone continuation byte
        "\xFF",
        "ok\xC3(", // lead byte followed by ASCII
    };
    for (const char* bytes : cases) {
        EXPECT_FALSE(Utf8ToWide(bytes)) << bytes;
        EXPECT_FALSE(FromPath(std::filesystem::path(bytes))) << bytes;
    }
    EXPECT_EQ(Utf8ToWide("\xF4\x8F\xBF\xBF"), std::wstring(1, wchar_t(0x10FFFF)));
}

TEST(PathTest, BothSeparatorsBecomeSlashes) {
    EXPECT_EQ(platform::NormaliseSeparators(L"data\\skin/a\\\\b.png"), L"data/skin/a//b.png");
    EXPECT_EQ(platform::NormaliseSeparators(L""), L"");
}

TEST(PathTest, ExecutableDirectoryHoldsThisTestProgram) {
    const std::wstring dir = platform::ExecutableDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), L'/');
    const auto path = ToPath(dir);
    ASSERT_TRUE(path);
    EXPECT_TRUE(path->is_absolute());
    EXPECT_TRUE(std::filesystem::equivalent(*path / "platform_system_path_test",
                                            std::filesystem::read_symlink("/proc/self/exe")));
}

} // namespace
