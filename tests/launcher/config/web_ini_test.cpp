// "web.ini": [Web] through the frame, [Setting] for the start-up code.
#include "launcher/config/default_pages.h"
#include "launcher/config/web_ini_setting.h"
#include "launcher/launcher.h"
#include "tests/launcher/config/program_dir_test.h"

namespace {

// Every line feed preceded by a carriage return.
std::string CrLf(const std::string& text) {
    std::string lines;
    for (char c : text)
        lines += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return lines;
}

} // namespace

class WebIniTest : public ProgramDirTest {
protected:
    void LoadPages() {
        frame.InitUrls();
        frame.LoadWebIni();
    }

    LauncherFrameWnd frame;
};

TEST_F(WebIniTest, PlainOrScrambledWebIniOverridesBothReadersAndNoCopyRemains) {
    const std::string text = "[Setting]\nAppTitle=风云游戏\nLogoHeight=80\n"
                             "[Web]\nLeft600Url=http://news.example.org/l600.html\n";
    const struct {
        std::string stored;
        bool readOnly;
        const wchar_t* title;
        int logoHeight;
        const wchar_t* left600;
    } cases[] = {
        {text, false, L"风云游戏", 80, L"http://news.example.org/l600.html"},
        {Scramble(text), false, L"风云游戏", 80, L"http://news.example.org/l600.html"},
        // Lines ending in CR LF decode to CR CR LF (each line feed is widened): no value keeps
        // a carriage return.
        {Scramble(CrLf(text)), false, L"风云游戏", 80, L"http://news.example.org/l600.html"},
        {Scramble(CrLf(CrLf(text))), false, L"风云游戏", 80, L"http://news.example.org/l600.html"},
        // Cannot be decoded: every default stays, the logo is still placed.
        {Scramble(text), true, L"Tavi游戏", 152, default_pages::kLeft600},
    };
    for (const auto& c : cases) {
        Write("web.ini", c.stored);
        Write("web.ini.tmp", "[Setting]\nAppTitle=stale\n[Web]\nLeft600Url=http://stale/\n");
        if (c.readOnly)
            std::filesystem::permissions(File("web.ini"), std::filesystem::perms::owner_read);
        const WebIniSetting setting = ReadWebIniSetting();
        EXPECT_TRUE(setting.present);
        EXPECT_EQ(setting.title, c.title);
        EXPECT_EQ(setting.logoHeight, c.logoHeight);
        // The window's own reader runs while the start-up copy may still be there.
        LoadPages();
        EXPECT_EQ(frame.Left600Url, c.left600);
        EXPECT_EQ(Entries(), std::set<std::string>{"web.ini"});
    }
}
