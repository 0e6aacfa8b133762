#include "system/path.h"
#include "system/profile.h"
#include "tests/support/temp_dir.h"

#include <climits>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using platform::ReadProfileSectionNames;
using platform::ReadProfileString;
using platform::WriteProfileString;
using testing_support::ReadFile;
using Names = std::vector<std::wstring>;

class ProfileTest : public ::testing::Test {
protected:
    // Writes the ini bytes and returns the file's name as the launcher passes it.
    std::wstring Ini(const std::string& bytes, const std::string& name = "test.ini") {
        testing_support::WriteFile(dir_ / name, bytes);
        return Name(name);
    }
    std::wstring Name(const std::string& name) { return *platform::FromPath(dir_ / name); }
    std::wstring Read(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                      size_t bufferChars = 256) {
        return ReadProfileString(file, section, key, L"<default>", bufferChars);
    }

    testing_support::TempDir dir_;
};

TEST_F(ProfileTest, ReadsFollowTheIniRulesAtTheirBoundaries) {
    const auto file = Ini("orphan=before any section\n[Setting]\n"
                          "\t Server Name \t=  main hall \t\r\nk=1\nk=2\n"
                          "url=http://h/?a=1&b=2\neq = = x\neqs==\n"
                          "double=\"quoted\"\nnested=\"\"inner\"\"\nunbalanced=\"open\n"
                          "mixed=\"x'\nspaced= \"  kept  \" \nquotedEquals=\"a=b\"\n"
                          "empty=\nquotedEmpty=\"\"\nsingleEmpty=''\n;commented=1\n"
                          "[ \xC3\x84rger ]\nk=9\n[broken\nafterBroken=3\n" // "Ärger"
                          "[SETTING]\nk=3\nlater=4\n");
    const struct {
        const wchar_t *section, *key, *expected;
    } cases[] = {
        {L"setting", L"server name", L"main hall"}, // no case, no blanks
        {L"SETTING", L"  Server Name  ", L"main hall"},
        {L"\u00E4RGER", L"K", L"9"},
        {L"Setting", L"K", L"1"}, // first match, also across repeated sections
        {L"setting", L"later", L"4"},
        {L"Setting", L"url", L"http://h/?a=1&b=2"}, // the first "=" ends the key
        {L"Setting", L"eq", L"= x"},
        {L"Setting", L"eqs", L"="},
        {L"Setting", L"double", L"quoted"}, // one pair of quotes goes
        {L"Setting", L"nested", L"\"inner\""},
        {L"Setting", L"unbalanced", L"\"open"},
        {L"Setting", L"mixed", L"\"x'"},
        {L"Setting", L"spaced", L"  kept  "},
        {L"Setting", L"quotedEquals", L"a=b"},
        {L"Setting", L"empty", L""}, // present but empty is not the default
        {L"Setting", L"quotedEmpty", L""},
        {L"Setting", L"singleEmpty", L""},
        {L"\u00C4rger", L"afterBroken", L"3"}, // "[broken" is no section
        {L"Setting", L"commented", L"<default>"},
        {L"", L"orphan", L"<default>"},
        {L"nosuch", L"k", L"<default>"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Read(file, c.section, c.key), c.expected) << c.section << "/" << c.key;
    EXPECT_EQ(Read(Name("absent-dir/x.ini"), L"Setting", L"k"), L"<default>");
    EXPECT_EQ(platform::ReadProfileInt(file, L"Setting", L"eqs", 7), 0);
    EXPECT_EQ(platform::ReadProfileInt(file, L"Setting", L"quotedEmpty", 7), 0) << "no number";
}

TEST_F(ProfileTest, ValuesAndDefaultsAreCutToOneCharacterLessThanTheBuffer) {
    const auto file =
        Ini("[s]\nv254=" + std::string(254, 'a') + "\nv255=" + std::string(255, 'b') + "\nq254=\"" +
            std::string(254, 'c') + "\"\nwide=" + std::string(253, 'd') +
            "\xE4\xB8\xAD\xE6\x96\x87\nlong=" + std::string(300, 'v') + "\nquoted=\"abcdef\"\n");
    const struct {
        const wchar_t* key;
        size_t bufferChars;
        std::wstring expected;
    } cases[] = {
        {L"v254", 255, std::wstring(254, L'a')},
        {L"v255", 255, std::wstring(254, L'b')},
        {L"v255", 256, std::wstring(255, L'b')},
        {L"q254", 255, std::wstring(254, L'c')},
        // Characters, not bytes: two three-byte characters after 253 ASCII ones.
        {L"wide", 255, std::wstring(253, L'd') + L"\u4E2D"},
        {L"long", 1000, std::wstring(300, L'v')},
        {L"quoted", 4, L"abc"}, // quotes go before the cut
        {L"long", 1, L""},
        {L"long", 0, L""},
        {L"missing", 5, L"<def"}, // the default too
    };
    for (const auto& c : cases)
        EXPECT_EQ(Read(file, L"s", c.key, c.bufferChars), c.expected) << c.bufferChars;
}

TEST_F(ProfileTest, AProfileFileIsReadOnceAndAnswersFromWhatWasRead) {
    const auto file = Ini("[s]\nk=1\n[t]\n");
    const platform::ProfileFile ini(file);
    std::filesystem::remove(dir_ / "test.ini");
    EXPECT_TRUE(ini.loaded());
    EXPECT_EQ(ini.ReadString(L"S", L"K", L"<default>", 255), L"1");
    EXPECT_EQ(ini.ReadInt(L"s", L"k", 9), 1);
    EXPECT_EQ(ini.SectionNames(255), (Names{L"s", L"t"}));
    const platform::ProfileFile missing(file);
    EXPECT_FALSE(missing.loaded());
    EXPECT_EQ(missing.ReadString(L"s", L"k", L"<default>", 255), L"<default>");
    EXPECT_EQ(missing.ReadInt(L"s", L"k", 9), 9);
    EXPECT_TRUE(missing.SectionNames(255).empty());
}

TEST_F(ProfileTest, IntegersReadTheLeadingNumber) {
    const auto file = Ini("[n]\nplain=42\nnegative=-7\ntrailing=12abc\nhex=0x1F\nquoted=\"64\"\n"
                          "word=abc\nhuge=99999999999\nhugeNegative=-99999999999\nmax=2147483647\n"
                          "over=2147483648\nmin=-2147483648\nhexOnly=0x\nplus=+12\n");
    const std::pair<const wchar_t*, int> cases[] = {
        {L"PLAIN", 42},    {L"negative", -7},  {L"trailing", 12},  {L"hex", 31},
        {L"quoted", 64},   {L"word", 0},       {L"huge", INT_MAX}, {L"hugeNegative", INT_MIN},
        {L"max", INT_MAX}, {L"over", INT_MAX}, {L"min", INT_MIN},  {L"hexOnly", 0},
        {L"plus", 12},     {L"missing", 800}};
    for (const auto& [key, expected] : cases)
        EXPECT_EQ(platform::ReadProfileInt(file, L"N", key, 800), expected) << key;
}

TEST_F(ProfileTest, SectionNamesFillTheBufferInFileOrder) {
    const auto file = Ini("[alpha]\na=1\n[beta]\n[ALPHA]\n[]\n; [comment]\n[gamma]\n");
    // Each name takes its length plus a terminator, and the list one more terminator.
    EXPECT_EQ(ReadProfileSectionNames(file, 18), (Names{L"alpha", L"beta", L"gamma"}));
    EXPECT_EQ(ReadProfileSectionNames(file, 17), (Names{L"alpha", L"beta"}));
    EXPECT_EQ(ReadProfileSectionNames(file, 11), (Names{L"alpha"}));
    EXPECT_TRUE(ReadProfileSectionNames(file, 6).empty());
    EXPECT_TRUE(ReadProfileSectionNames(Name("absent.ini"), 100).empty());
}

TEST_F(ProfileTest, ReadsUtf8Utf16AndGb18030Files) {
    using namespace std::string_literals;
    const std::string files[] = {
        "\xEF\xBB\xBF[\xE6\x9C\x8D\xE5\x8A\xA1]\r\nk=\xE7\x94\xB5\r\n",
        "\xFF\xFE[\0\x0D\x67\xA1\x52]\0\r\0\n\0k\0=\0\x35\x75\r\0\n\0"s,
        "\xFE\xFF\0[\x67\x0D\x52\xA1\0]\0\r\0\n\0k\0=\x75\x35\0\r\0\n"s,
        "[\xB7\xFE\xCE\xF1]\r\nk=\xB5\xE7\r\n", // not UTF-8: GB18030
    };
    for (const std::string& bytes : files) {
        const auto file = Ini(bytes);
        EXPECT_EQ(Read(file, L"\u670D\u52A1", L"k"), L"\u7535");
        EXPECT_EQ(ReadProfileSectionNames(file, 100), Names{L"\u670D\u52A1"});
    }
    // A character outside the BMP, four bytes in GB18030.
    EXPECT_EQ(Read(Ini("[s]\nk=\x94\x39\xFC\x36\n"), L"s", L"k"), L"\U0001F600");
}

TEST_F(ProfileTest, ReplacingAValueKeepsEveryOtherByte) {
    const std::string before = "\xEF\xBB\xBF; written by hand\r\n[Server]\r\n"
                               "  Name = old value ; not a comment\r\n\tport=  80\r\n"
                               "name=second\r\n\r\n[Other]\nname=untouched";
    ASSERT_TRUE(WriteProfileString(Ini(before), L"server", L"NAME", L"new"));
    std::string expected = before;
    const std::string old = "  Name = old value ; not a comment\r";
    expected.replace(expected.find(old), old.size(), "Name=new\r");
    EXPECT_EQ(ReadFile(dir_ / "test.ini"), expected);
}

TEST_F(ProfileTest, MissingKeysAndSectionsAreAddedWhereTheyBelong) {
    const std::pair<std::string, std::string> cases[] = {
        {"[a]\nx=1\n\n[b]\ny=2\n", "[a]\nx=1\nz=3\n\n[b]\ny=2\nv=5\n[c]\nw=4\n"},
        {"[a]\r\nx=1", "[a]\r\nx=1\r\nz=3\r\n[c]\r\nw=4\r\n[b]\r\nv=5\r\n"}, // its line ends
    };
    for (const auto& [before, after] : cases) {
        const auto file = Ini(before);
        ASSERT_TRUE(WriteProfileString(file, L"A", L"z", L"3"));
        ASSERT_TRUE(WriteProfileString(file, L"c", L"w", L"4"));
        ASSERT_TRUE(WriteProfileString(file, L"b", L"v", L"5"));
        EXPECT_EQ(ReadFile(dir_ / "test.ini"), after);
    }
}

TEST_F(ProfileTest, WritesGoOutAsUtf8AlsoIntoLegacyFiles) {
    ASSERT_TRUE(WriteProfileString(Name("new.ini"), L"Setting", L"Server", L"\u4E2D\u6587 1"));
    EXPECT_EQ(ReadFile(dir_ / "new.ini"), "[Setting]\nServer=\xE4\xB8\xAD\xE6\x96\x87 1\n");
    const auto file = Ini("[\xD6\xD0\xCE\xC4]\r\nkeep=\xB7\xFE\xCE\xF1\xC6\xF7\r\nold=1\r\n");
    ASSERT_TRUE(WriteProfileString(file, L"\u4E2D\u6587", L"old", L"2"));
    EXPECT_EQ(
        ReadFile(dir_ / "test.ini"),
        "[\xE4\xB8\xAD\xE6\x96\x87]\r\nkeep=\xE6\x9C\x8D\xE5\x8A\xA1\xE5\x99\xA8\r\nold=2\r\n");
    // No temporary files are left beside them.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.path()), {}), 2);
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

TEST_F(ProfileTest, AFifoADeviceOrAFileOverOneMebibyteIsUnreadable) {
    ASSERT_EQ(mkfifo((dir_ / "fifo.ini").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", dir_ / "zero.ini");
    const std::string head = "[s]\nk=v\n;";
    const auto atCap = Ini(head + std::string(1024 * 1024 - head.size(), 'x'), "at-cap.ini");
    const auto overCap = Ini(head + std::string(1024 * 1024 + 1 - head.size(), 'x'), "over.ini");
    EXPECT_EQ(Read(atCap, L"s", L"k"), L"v");
    EXPECT_EQ(Read(overCap, L"s", L"k"), L"<default>");
    for (const char* name : {"fifo.ini", "zero.ini"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Read(Name(name), L"s", L"k"), L"<default>"); // neither hangs nor grows
        EXPECT_EQ(ReadProfileSectionNames(Name(name), 64), Names{});
        EXPECT_FALSE(WriteProfileString(Name(name), L"s", L"k", L"1"));
    }
    EXPECT_FALSE(WriteProfileString(overCap, L"s", L"k", L"1"));
    EXPECT_EQ(std::filesystem::file_size(dir_ / "over.ini"), 1024u * 1024u + 1u);
    EXPECT_TRUE(std::filesystem::is_fifo(dir_ / "fifo.ini"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "zero.ini"));
}

} // namespace
