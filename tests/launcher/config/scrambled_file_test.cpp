#include "launcher/config/scrambled_file.h"

#include <algorithm>
#include <clocale>
#include <random>

#include "launcher/globals.h"
#include "tests/launcher/config/program_dir_test.h"

namespace {

bool Decode(const wchar_t* source, const wchar_t* destination) {
    return DecodeScrambledFile(source, ScrambleKey.wc_str(), destination);
}

} // namespace

using ScrambledFileTest = ProgramDirTest;

TEST_F(ScrambledFileTest, SubtractsTheFirstEightKeyBytesInTurn) {
    // Each stored byte equals its key byte, so every plain byte is zero: offsets 8 and 15 use
    // the key characters of offsets 0 and 7, and nothing past the eighth character is used.
    std::string stored = "PaxLorQ8PaxLorQ8";
    // 0xFF and 0x00 are ordinary data, not an end of file.
    stored += "\xFF";
    stored += std::string(1, '\0');
    Write("a.bin", stored);
    ASSERT_TRUE(Decode(L"a.bin", L"a.bin.tmp"));
    EXPECT_EQ(Read("a.bin.tmp"), std::string(16, '\0') + "\xAF\x9F");
}

TEST_F(ScrambledFileTest, CopyWidensEveryDecodedLineFeed) {
    std::string plain;
    for (int i = 0; i < 200000; ++i)
        plain += static_cast<char>((i * 7919) % 256); // every byte value, across blocks
    plain += "[Addr]\r\nKey=1\n";
    Write("Do.ini", Scramble(plain));
    ASSERT_TRUE(Decode(L"Do.ini", L"Do.ini.tmp"));
    const std::string copy = Read("Do.ini.tmp");
    EXPECT_EQ(copy.size(), plain.size() + std::count(plain.begin(), plain.end(), '\n'));
    EXPECT_EQ(copy, AsCopy(plain));
    EXPECT_NE(copy.find("[Addr]\r\r\nKey=1\r\n"), std::string::npos);
}

TEST_F(ScrambledFileTest, EmptySourceGivesEmptyCopy) {
    Write("web.ini", "");
    Write("web.ini.tmp", "stale");
    EXPECT_TRUE(Decode(L"web.ini", L"web.ini.tmp"));
    EXPECT_TRUE(Exists("web.ini.tmp"));
    EXPECT_EQ(Read("web.ini.tmp"), "");
}

TEST_F(ScrambledFileTest, SourcesThatCannotBeOpenedForWritingAreNotDecoded) {
    Write("web.ini", Scramble("[Web]\nTopUrl=x\n"));
    std::filesystem::permissions(File("web.ini"), std::filesystem::perms::owner_read |
                                                      std::filesystem::perms::group_read |
                                                      std::filesystem::perms::others_read);
    EXPECT_FALSE(Decode(L"web.ini", L"web.ini.tmp"));
    EXPECT_FALSE(Decode(L"missing.ini", L"missing.ini.tmp"));
    std::filesystem::create_directory(File("dir.ini"));
    EXPECT_FALSE(Decode(L"dir.ini", L"dir.ini.tmp"));
    EXPECT_EQ(Entries(), (std::set<std::string>{"web.ini", "dir.ini"}));
}

TEST_F(ScrambledFileTest, NamesThatCannotBeConvertedFailCleanly) {
    Write("Do.ini", Scramble("[Addr]\n"));
    const std::wstring loneSurrogate = std::wstring(L"Do") + static_cast<wchar_t>(0xD800);
    EXPECT_FALSE(Decode(loneSurrogate.c_str(), L"Do.ini.tmp"));
    EXPECT_FALSE(Decode(L"Do.ini", loneSurrogate.c_str()));
    EXPECT_FALSE(DecodeScrambledFile(L"Do.ini", loneSurrogate.c_str(), L"Do.ini.tmp"));
    EXPECT_EQ(Entries(), std::set<std::string>{"Do.ini"});
}

TEST_F(ScrambledFileTest, FailedWriteReportsFalseAndRemovesThePartialCopy) {
    Write("Do.ini", Scramble("[Addr]\nServerListUrl1=http://a/\n"));
    std::filesystem::create_symlink("/dev/full", File("Do.ini.tmp"));
    EXPECT_FALSE(Decode(L"Do.ini", L"Do.ini.tmp"));
    EXPECT_FALSE(Exists("Do.ini.tmp"));
    EXPECT_FALSE(Decode(L"Do.ini", L"no-such-dir/Do.ini.tmp"));
}

TEST_F(ScrambledFileTest, LeavesTheProcessLocaleAlone) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    Write("名字.ini", Scramble("[Addr]\n"));
    EXPECT_TRUE(Decode(L"名字.ini", L"名字.ini.tmp"));
    EXPECT_EQ(Read("名字.ini.tmp"), "[Addr]\r\n");
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C.UTF-8");
    std::setlocale(LC_ALL, before.c_str());
}
