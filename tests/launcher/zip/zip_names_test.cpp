// Entry names as text: decoding raw name bytes, and the sanitising of drive prefixes, leading
// separators and parent groups written with either separator.
#include "launcher/zip/zip_names.h"

#include <gtest/gtest.h>

namespace {

TEST(ZipNamesTest, SanitisingCutsEachParentGroupInTheOrderOfItsFourForms) {
    const struct {
        std::wstring_view name;
        std::wstring_view expected;
    } cases[] = {
        {L"C:\\x\\a.txt", L"x\\a.txt"},
        {L"/x/a.txt", L"x/a.txt"},
        {L"\\\\a.txt", L"a.txt"},
        {L"C:/\\D:x", L"x"},
        {L"\\/..\\x", L"..\\x"}, // no separator is left before the dots
        {L"a\\..\\b/../c.txt", L"c.txt"},
        {L"x/y/../z.txt", L"z.txt"},
        {L"x/..\\y", L"y"},
        {L"x\\../y", L"y"},
        // "\..\" is looked for first: cutting at "/..\" first would leave "..\b".
        {L"a/..\\..\\b", L"b"},
        // "\../" is found before "/..\": cutting at "/..\" first would leave "b".
        {L"a\\../..\\b", L"..\\b"},
        {L"a/../b\\..\\c/../d", L"d"},
        // Separators are kept as they are; dots that form no parent group stay.
        {L"a/b\\c", L"a/b\\c"},
        {L"a/.../b", L"a/.../b"},
        {L"a/..b/c", L"a/..b/c"},
        {L"a/..", L"a/.."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SanitiseZipName(c.name), c.expected) << std::string(c.name.begin(), c.name.end());
}

TEST(ZipNamesTest, BytesThatAreNotUtf8BecomeReplacementCharacters) {
    const struct {
        std::string_view raw;
        std::wstring_view expected;
    } cases[] = {
        {"plain/ascii.txt", L"plain/ascii.txt"},
        {"caf\xc3\xa9\xf0\x9f\x98\x80", L"caf\u00e9\U0001F600"},
        {"\xff\xfe.txt", L"\uFFFD\uFFFD.txt"},
        // Overlong "/" and ".": replaced, so they can neither separate nor climb.
        {"a\xc0\xaf\xc0\xae", L"a\uFFFD\uFFFD\uFFFD\uFFFD"},
        // A name in GBK: a valid two-byte sequence inside it is kept as UTF-8 reads it.
        {"\xb5\xd8\xcd\xbc.dat", L"\uFFFD\uFFFD\u037C.dat"},
        {"\xed\xa0\x80x", L"\uFFFD\uFFFD\uFFFDx"},         // an encoded surrogate
        {"\xf4\x90\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD"}, // above U+10FFFF
        {"ab\xe6\x96", L"ab\uFFFD\uFFFD"},                 // cut off at the end
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeZipName(c.raw), c.expected) << c.raw;
}

} // namespace
