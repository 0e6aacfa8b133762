// Register.dll loaded as the launcher loads it: by its bare name from the program directory,
// called once per click with 0, and unloaded right after the call.
#include "modules/register/register_api.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

#include "duilib/duilib.h"
#include "duilib/headless.h"
#include "duilib/ui_thread.h"
#include "system/modules.h"
#include "tests/support/program_dir.h"

namespace {

using namespace DuiLib;

class RegisterWindowTest : public ::testing::Test {
protected:
    void Install(bool withSkin) {
        testing_support::UseProgramDirectory(dir, withSkin);
        std::filesystem::copy_file(testing_support::BinDir() / "Register.dll",
                                   dir.path() / "Register.dll");
    }

    // One click's worth: load, call with 0, unload. -1 when the module or export is missing.
    int CallOnce() {
        platform::ModuleHandle module = platform::LoadModule(L"Register.dll");
        if (module == nullptr)
            return -1;
        auto create = reinterpret_cast<CreateRegisterWindowFunction>(
            platform::FindModuleSymbol(module, "CreateRegisterWindow"));
        const int result = create != nullptr ? create(0) : -1;
        platform::FreeModule(module);
        return result;
    }

    testing_support::TempDir dir;
};

// Unversioned, non-weak dynamic symbols of a binary as nm lists them (defined or undefined):
// versioned ones come from system libraries.
std::set<std::string> DynamicSymbols(const std::filesystem::path& binary, const char* which) {
    const std::string command =
        "nm -D --format=posix " + std::string(which) + " '" + binary.string() + "'";
    std::set<std::string> names;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return names;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::istringstream fields(line);
        std::string name, type;
        fields >> name >> type;
        if (name.find('@') == std::string::npos && type != "w" && type != "v")
            names.insert(name);
    }
    pclose(pipe);
    return names;
}

} // namespace

// The module is loaded with every symbol bound at once; a UI symbol the launcher does not
// export would make every load fail, and the register button do nothing.
TEST(RegisterModuleLinking, TheLauncherExportsEveryUiSymbolTheModuleNeeds) {
    const auto needed =
        DynamicSymbols(testing_support::BinDir() / "Register.dll", "--undefined-only");
    const auto exported = DynamicSymbols(testing_support::BinDir() / "launcher", "--defined-only");
    ASSERT_FALSE(needed.empty());
    std::string missing;
    for (const std::string& name : needed) {
        // The UI library's own symbols; the C and C++ runtimes (and a sanitizer's) come from
        // system libraries.
        if (name.find("6DuiLib") == std::string::npos)
            continue;
        if (!exported.contains(name))
            missing += name + " ";
    }
    EXPECT_EQ(missing, "");
}

TEST_F(RegisterWindowTest, ShowsASmallModalWindowUntilThePlayerClosesIt) {
    Install(true);
    for (const wchar_t* button : {L"OkBtn", L"CloseBtn"}) {
        Headless::WindowRecord shown;
        std::wstring info;
        LRESULT onTitle = 0, onCloseButton = 0;
        PostToUiThread([&] {
            const HWND hwnd = Headless::FindWindowByClass(L"RegisterWnd");
            for (const Headless::WindowRecord& record : Headless::Windows()) {
                if (record.hwnd == hwnd)
                    shown = record;
            }
            if (CControlUI* text = Headless::PaintManagerOf(hwnd)->FindControl(L"InfoTxt"))
                info = text->GetText().str();
            const auto hitTest = [&](int x, int y) {
                return SendMessage(hwnd, WM_NCHITTEST, 0,
                                   MakePointParam(shown.rect.left + x, shown.rect.top + y));
            };
            onTitle = hitTest(40, 15);
            onCloseButton = hitTest(320, 15);
            EXPECT_TRUE(Headless::Click(hwnd, button));
        });
        EXPECT_EQ(CallOnce(), 1) << button;
        EXPECT_EQ(shown.title, L"注册账号");
        EXPECT_TRUE(shown.visible && shown.modal);
        EXPECT_EQ(shown.rect.right - shown.rect.left, 340);
        EXPECT_EQ(shown.rect.bottom - shown.rect.top, 190);
        EXPECT_EQ(shown.roundCorner.cx, 6);
        EXPECT_EQ(onTitle, HTCAPTION) << "the title band drags the window";
        EXPECT_EQ(onCloseButton, HTCLIENT);
        EXPECT_NE(info.find(L"官方网站"), std::wstring::npos);
        EXPECT_TRUE(Headless::Windows().empty()) << "the window is gone when the call returns";
    }
}

TEST_F(RegisterWindowTest, QuitWhileOpenClosesTheWindowBeforeTheCallReturns) {
    Install(true);
    PostToUiThread([] { PostQuitMessage(5); });
    EXPECT_EQ(CallOnce(), 1);
    EXPECT_TRUE(Headless::Windows().empty());
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 5) << "the quit is kept for the main loop";
}

TEST_F(RegisterWindowTest, WithoutItsSkinNothingIsShown) {
    Install(false);
    EXPECT_EQ(CallOnce(), 0);
    EXPECT_TRUE(Headless::Windows().empty());
}
