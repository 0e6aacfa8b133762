#include "launcher/config/scrambled_file.h"

#include <clocale>

#include "tests/launcher/config/program_dir_test.h"

namespace {

bool Decode(const wchar_t* source, const wchar_t* destination) {
    return DecodeScrambledFile(source, ScrambleKey.wc_str(), destination);
}

} // namespace

using ScrambledFileTest = ProgramDirTest;

TEST_F(ScrambledFileTest, SubtractsTheFirstEightKeyBytesInTurnAndWidensLineFeeds) {
    // Each stored byte equals its key byte, so every plain byte is zero: offsets 8 and 15 use
    // the key characters of offsets 0 and 7. 0xFF and 0x00 are data, not an end of file.
    Write("a.bin", std::string("PaxLorQ8PaxLorQ8\xFF", 17) + '\0');
    ASSERT_TRUE(Decode(L"a.bin", L"a.bin.tmp"));
    EXPECT_EQ(Read("a.bin.tmp"), std::string(16, '\0') + "\xAF\x9F");

    // Every byte value, across the reader's blocks; each decoded LF is written as CR LF.
    std::string plain, copy;
    for (int i = 0; i < 200000; ++i) {
        const char c = static_cast<char>((i * 7919) % 256);
        plain += c;
        copy += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    plain += "[Addr]\r\nKey=1\n";
    copy += "[Addr]\r\r\nKey=1\r\n";
    Write("Do.ini", Scramble(plain));
    ASSERT_TRUE(Decode(L"Do.ini", L"Do.ini.tmp"));
    EXPECT_EQ(Read("Do.ini.tmp"), copy);

    // An empty source gives an empty copy, over a stale one.
    Write("web.ini", "");
    Write("web.ini.tmp", "stale");
    EXPECT_TRUE(Decode(L"web.ini", L"web.ini.tmp"));
    EXPECT_EQ(Read("web.ini.tmp"), "");
}

TEST_F(ScrambledFileTest, UnusableSourcesNamesAndCopiesFailAndLeaveNoCopy) {
    Write("web.ini", Scramble("[Web]\nTopUrl=x\n"));
    std::filesystem::permissions(File("web.ini"), std::filesystem::perms::owner_read);
    std::filesystem::create_directory(File("dir.ini"));
    std::filesystem::create_symlink("/dev/full", File("full.tmp")); // every write fails
    const std::wstring loneSurrogate = std::wstring(L"Do") + static_cast<wchar_t>(0xD800);
    EXPECT_FALSE(Decode(L"web.ini", L"web.ini.tmp")) << "a source that cannot be written to";
    EXPECT_FALSE(Decode(L"missing.ini", L"missing.ini.tmp"));
    EXPECT_FALSE(Decode(L"dir.ini", L"dir.ini.tmp"));
    EXPECT_FALSE(Decode(loneSurrogate.c_str(), L"Do.ini.tmp"));
    EXPECT_FALSE(Decode(L"web.ini", loneSurrogate.c_str()));

    std::filesystem::permissions(File("web.ini"), std::filesystem::perms::owner_all);
    EXPECT_FALSE(Decode(L"web.ini", L"no-such-dir/web.ini.tmp"));
    EXPECT_FALSE(Decode(L"web.ini", L"full.tmp"));
    EXPECT_EQ(Entries(), (std::set<std::string>{"web.ini", "dir.ini"})) << "partial copy removed";
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
