#include "system/path.h"
#include "system/profile.h"
#include "tests/support/temp_dir.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

using platform::ReadProfileInt;
using platform::ReadProfileSectionNames;
using platform::ReadProfileString;
using platform::WriteProfileString;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

class ProfileTest : public ::testing::Test {
protected:
    // Writes the ini bytes and returns the file's name as the launcher passes it.
    std::wstring Ini(const std::string& bytes, const std::string& name = "test.ini") {
        WriteFile(dir_ / name, bytes);
        return Name(name);
    }
    std::wstring Name(const std::string& name) { return *platform::FromPath(dir_ / name); }
    std::wstring Read(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                      size_t bufferChars = 256) {
        return ReadProfileString(file, section, key, L"<default>", bufferChars);
    }

    TempDir dir_;
};

// UTF-16 with BOM, written independently of the code under test.
std::string Utf16WithBom(const std::wstring& text, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (wchar_t c : text) {
        const auto unit = static_cast<uint16_t>(c); // the test text is in the BMP
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

TEST_F(ProfileTest, NamesMatchWithoutCaseAndAroundBlanks) {
    const auto file = Ini("[Setting]\n"
                          "  Server Name \t=  main hall \t\n"
                          "[ \xC3\x84rger ]\n" // "Ärger" with blanks inside the brackets
                          "KEY=x\n");
    EXPECT_EQ(Read(file, L"setting", L"server name"), L"main hall");
    EXPECT_EQ(Read(file, L"SETTING", L"  Server Name  "), L"main hall");
    EXPECT_EQ(Read(file, L"\u00E4RGER", L"key"), L"x");
}

TEST_F(ProfileTest, OnePairOfSurroundingQuotesIsDropped) {
    const auto file = Ini("[q]\n"
                          "double=\"quoted value\"\n"
                          "single='single'\n"
                          "nested=\"\"inner\"\"\n"
                          "unbalanced=\"open\n"
                          "mixed=\"a'\n"
                          "spaced= \"  kept  \" \n"
                          "lone=\"\n");
    EXPECT_EQ(Read(file, L"q", L"double"), L"quoted value");
    EXPECT_EQ(Read(file, L"q", L"single"), L"single");
    EXPECT_EQ(Read(file, L"q", L"nested"), L"\"inner\"");
    EXPECT_EQ(Read(file, L"q", L"unbalanced"), L"\"open");
    EXPECT_EQ(Read(file, L"q", L"mixed"), L"\"a'");
    EXPECT_EQ(Read(file, L"q", L"spaced"), L"  kept  ");
    EXPECT_EQ(Read(file, L"q", L"lone"), L"\"");
}

TEST_F(ProfileTest, FirstMatchWinsAcrossRepeatedSections) {
    const auto file = Ini("[s]\nk=1\nk=2\n[other]\nk=9\n[S]\nk=3\nlater=4\n");
    EXPECT_EQ(Read(file, L"s", L"k"), L"1");
    EXPECT_EQ(Read(file, L"s", L"later"), L"4");
    EXPECT_EQ(Read(file, L"other", L"k"), L"9");
}

TEST_F(ProfileTest, DefaultOnlyWhenFileSectionOrKeyIsMissing) {
    const auto file = Ini("orphan=before any section\n"
                          "[s]\n"
                          "empty=\n"
                          "blank=   \n"
                          ";commented=1\n"
                          "  ; indented=2\n"
                          "bare\n"
                          "[broken\n"
                          "afterBroken=3\n");
    EXPECT_EQ(Read(file, L"s", L"empty"), L"");
    EXPECT_EQ(Read(file, L"s", L"blank"), L"");
    EXPECT_EQ(Read(file, L"s", L"bare"), L"");
    EXPECT_EQ(Read(file, L"s", L"commented"), L"<default>");
    EXPECT_EQ(Read(file, L"s", L"indented"), L"<default>");
    EXPECT_EQ(Read(file, L"s", L"afterBroken"), L"3"); // a header without "]" is not a section
    EXPECT_EQ(Read(file, L"", L"orphan"), L"<default>");
    EXPECT_EQ(Read(file, L"s", L"missing"), L"<default>");
    EXPECT_EQ(Read(file, L"nosuch", L"empty"), L"<default>");
    EXPECT_EQ(Read(Name("absent.ini"), L"s", L"empty"), L"<default>");
    EXPECT_EQ(Read(Name("absent-dir/x.ini"), L"s", L"empty"), L"<default>");
}

TEST_F(ProfileTest, ValuesAndDefaultsAreCutToTheBuffer) {
    const auto file = Ini("[s]\nlong=" + std::string(300, 'v') + "\nquoted=\"abcdef\"\n");
    EXPECT_EQ(Read(file, L"s", L"long", 255), std::wstring(254, L'v'));
    EXPECT_EQ(Read(file, L"s", L"long", 1000), std::wstring(300, L'v'));
    EXPECT_EQ(Read(file, L"s", L"quoted", 4), L"abc"); // quotes go before the cut
    EXPECT_EQ(Read(file, L"s", L"long", 1), L"");
    EXPECT_EQ(Read(file, L"s", L"long", 0), L"");
    EXPECT_EQ(ReadProfileString(file, L"s", L"missing", L"fallback", 5), L"fall");
}

TEST_F(ProfileTest, IntegersReadTheLeadingNumber) {
    const auto file = Ini("[n]\n"
                          "plain=42\n"
                          "negative=-7\n"
                          "plus=+5\n"
                          "trailing=12abc\n"
                          "hex=0x1F\n"
                          "quoted=\"64\"\n"
                          "word=abc\n"
                          "empty=\n"
                          "huge=99999999999\n"
                          "hugeNegative=-99999999999\n");
    EXPECT_EQ(ReadProfileInt(file, L"n", L"plain", -1), 42);
    EXPECT_EQ(ReadProfileInt(file, L"N", L"NEGATIVE", -1), -7);
    EXPECT_EQ(ReadProfileInt(file, L"n", L"plus", -1), 5);
    EXPECT_EQ(ReadProfileInt(file, L"n", L"trailing", -1), 12);
    EXPECT_EQ(ReadProfileInt(file, L"n", L"hex", -1), 31);
    EXPECT_EQ(ReadProfileInt(file, L"n", L"quoted", -1), 64);
    EXPECT_EQ(ReadProfileInt(file, L"n", L"word", -1), 0);
    EXPECT_EQ(ReadProfileInt(file, L"n", L"empty", -1), 0);
    EXPECT_EQ(ReadProfileInt(file, L"n", L"huge", -1), INT_MAX);
    EXPECT_EQ(ReadProfileInt(file, L"n", L"hugeNegative", -1), INT_MIN);
    EXPECT_EQ(ReadProfileInt(file, L"n", L"missing", 800), 800);
    EXPECT_EQ(ReadProfileInt(Name("absent.ini"), L"n", L"plain", 3), 3);
}

TEST_F(ProfileTest, SectionNamesFillTheBufferInFileOrder) {
    const auto file = Ini("[alpha]\na=1\n[beta]\n[ALPHA]\n[]\n; [comment]\n[gamma]\n");
    using Names = std::vector<std::wstring>;
    // Each name takes its length plus a terminator, and the list one more terminator.
    EXPECT_EQ(ReadProfileSectionNames(file, 100), (Names{L"alpha", L"beta", L"gamma"}));
    EXPECT_EQ(ReadProfileSectionNames(file, 18), (Names{L"alpha", L"beta", L"gamma"}));
    EXPECT_EQ(ReadProfileSectionNames(file, 17), (Names{L"alpha", L"beta"}));
    EXPECT_EQ(ReadProfileSectionNames(file, 12), (Names{L"alpha", L"beta"}));
    EXPECT_EQ(ReadProfileSectionNames(file, 11), (Names{L"alpha"}));
    EXPECT_TRUE(ReadProfileSectionNames(file, 6).empty());
    EXPECT_TRUE(ReadProfileSectionNames(file, 0).empty());
    EXPECT_TRUE(ReadProfileSectionNames(Name("absent.ini"), 100).empty());
}

TEST_F(ProfileTest, ReadsUtf8WithBomAndCrlf) {
    const auto file = Ini("\xEF\xBB\xBF[s]\r\nname=\xE4\xB8\xAD\xE6\x96\x87\r\nlast=end\r\n");
    EXPECT_EQ(Read(file, L"s", L"name"), L"\u4E2D\u6587");
    EXPECT_EQ(Read(file, L"s", L"last"), L"end");
}

TEST_F(ProfileTest, ReadsUtf16WithEitherByteOrderMark) {
    const std::wstring text = L"[\u670D\u52A1\u5668]\r\n\u540D\u79F0=\u7535\u4FE1\u4E00\u533A\r\n";
    const auto little = Ini(Utf16WithBom(text, false), "le.ini");
    const auto big = Ini(Utf16WithBom(text, true), "be.ini");
    EXPECT_EQ(Read(little, L"\u670D\u52A1\u5668", L"\u540D\u79F0"), L"\u7535\u4FE1\u4E00\u533A");
    EXPECT_EQ(Read(big, L"\u670D\u52A1\u5668", L"\u540D\u79F0"), L"\u7535\u4FE1\u4E00\u533A");
    EXPECT_EQ(ReadProfileSectionNames(little, 100),
              std::vector<std::wstring>{L"\u670D\u52A1\u5668"});
}

TEST_F(ProfileTest, BytesThatAreNotUtf8AreReadAsGb18030) {
    // [中文] / 服务器=😀 in GB18030, the emoji as a four-byte sequence.
    const auto file = Ini("[\xD6\xD0\xCE\xC4]\r\n\xB7\xFE\xCE\xF1\xC6\xF7=\x94\x39\xFC\x36\r\n");
    EXPECT_EQ(Read(file, L"\u4E2D\u6587", L"\u670D\u52A1\u5668"), L"\U0001F600");
}

TEST_F(ProfileTest, ReplacingAValueKeepsEveryOtherByte) {
    const std::string before = "\xEF\xBB\xBF; written by hand\r\n"
                               "[Server]\r\n"
                               "  Name = old value ; not a comment\r\n"
                               "\tport=  80\r\n"
                               "name=second\r\n"
                               "\r\n"
                               "[Other]\n"
                               "name=untouched";
    const auto file = Ini(before);
    ASSERT_TRUE(WriteProfileString(file, L"server", L"NAME", L"new"));
    std::string expected = before;
    const std::string old = "  Name = old value ; not a comment\r";
    expected.replace(expected.find(old), old.size(), "Name=new\r");
    EXPECT_EQ(ReadFile(dir_ / "test.ini"), expected);
    EXPECT_EQ(Read(file, L"Server", L"name"), L"new");
    EXPECT_EQ(Read(file, L"Other", L"name"), L"untouched");
}

TEST_F(ProfileTest, MissingKeysAndSectionsAreAppendedWhereTheyBelong) {
    const auto file = Ini("[a]\nx=1\n\n[b]\ny=2\n");
    ASSERT_TRUE(WriteProfileString(file, L"A", L"z", L"3"));
    ASSERT_TRUE(WriteProfileString(file, L"c", L"w", L"4"));
    ASSERT_TRUE(WriteProfileString(file, L"b", L"v", L"5"));
    EXPECT_EQ(ReadFile(dir_ / "test.ini"), "[a]\nx=1\nz=3\n\n[b]\ny=2\nv=5\n[c]\nw=4\n");
}

TEST_F(ProfileTest, AddedLinesFollowTheFilesLineEnds) {
    const auto file = Ini("[a]\r\nx=1");
    ASSERT_TRUE(WriteProfileString(file, L"a", L"y", L"2"));
    ASSERT_TRUE(WriteProfileString(file, L"b", L"z", L"3"));
    EXPECT_EQ(ReadFile(dir_ / "test.ini"), "[a]\r\nx=1\r\ny=2\r\n[b]\r\nz=3\r\n");
}

TEST_F(ProfileTest, WritingCreatesAMissingFileAndLeavesNoTemporaryFiles) {
    const auto file = Name("new.ini");
    ASSERT_TRUE(WriteProfileString(file, L"Setting", L"Server", L"\u4E2D\u6587 1"));
    EXPECT_EQ(ReadFile(dir_ / "new.ini"), "[Setting]\nServer=\xE4\xB8\xAD\xE6\x96\x87 1\n");
    EXPECT_EQ(Read(file, L"setting", L"server"), L"\u4E2D\u6587 1");
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.path()))
        ++entries;
    EXPECT_EQ(entries, 1u);
}

TEST_F(ProfileTest, LegacyFilesAreRewrittenAsUtf8) {
    const auto file = Ini("[\xD6\xD0\xCE\xC4]\r\nkeep=\xB7\xFE\xCE\xF1\xC6\xF7\r\nold=1\r\n");
    ASSERT_TRUE(WriteProfileString(file, L"\u4E2D\u6587", L"old", L"2"));
    EXPECT_EQ(
        ReadFile(dir_ / "test.ini"),
        "[\xE4\xB8\xAD\xE6\x96\x87]\r\nkeep=\xE6\x9C\x8D\xE5\x8A\xA1\xE5\x99\xA8\r\nold=2\r\n");
    EXPECT_EQ(Read(file, L"\u4E2D\u6587", L"keep"), L"\u670D\u52A1\u5668");
}

TEST_F(ProfileTest, WritesThatWouldBreakTheFileAreRefused) {
    const std::string before = "[s]\nk=1\n";
    const auto file = Ini(before);
    EXPECT_FALSE(WriteProfileString(file, L"s", L"k", L"1\n[evil]\nx=2"));
    EXPECT_FALSE(WriteProfileString(file, L"s", L"a=b", L"1"));
    EXPECT_FALSE(WriteProfileString(file, L"s]", L"k", L"1"));
    EXPECT_FALSE(WriteProfileString(file, L"s", L"", L"1"));
    EXPECT_FALSE(WriteProfileString(file, L"s", L"k", std::wstring(1, wchar_t(0xD800))));
    EXPECT_FALSE(WriteProfileString(Name("no-such-dir/x.ini"), L"s", L"k", L"1"));
    EXPECT_EQ(ReadFile(dir_ / "test.ini"), before);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "no-such-dir"));
}

} // namespace
