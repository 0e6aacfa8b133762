// The one program directory: as the entry sets it, with a trailing "/", the executable's
// directory until set; and the message-box door without a server.
#include <gtest/gtest.h>

#include "system/message_box.h"
#include "system/path.h"
#include "system/program_directory.h"

TEST(ProgramDirectory, IsTheExecutablesUntilSetThenAlwaysEndsInOneSlash) {
    EXPECT_EQ(platform::ProgramDirectory(), platform::ExecutableDirectory());
    platform::SetProgramDirectory(L"/opt/game");
    EXPECT_EQ(platform::ProgramDirectory(), L"/opt/game/");
    // The system's path as it is: "\" is a character of a name, never a separator.
    platform::SetProgramDirectory(L"/srv/games/a\\..\\victim");
    EXPECT_EQ(platform::ProgramDirectory(), L"/srv/games/a\\..\\victim/");
    platform::SetProgramDirectory(L"/srv/back\\slash\\");
    EXPECT_EQ(platform::ProgramDirectory(), L"/srv/back\\slash\\/");
    platform::SetProgramDirectory(L"/srv/游戏/");
    EXPECT_EQ(platform::ProgramDirectory(), L"/srv/游戏/");
}

TEST(MessageBoxDoor, AnswersNoneWithoutAServerAndPassesRequestsThroughOne) {
    EXPECT_EQ(platform::ShowMessageBox(L"text", L"caption", platform::kMessageBoxOk),
              platform::kMessageBoxAnswerNone);
    std::wstring seen;
    platform::SetMessageBoxServer(
        [&](const std::wstring& text, const std::wstring& caption, unsigned style) {
            seen = text + L"|" + caption + L"|" + std::to_wstring(style);
            return 1;
        });
    EXPECT_EQ(platform::ShowMessageBox(L"缺少文件", L"错误", platform::kMessageBoxIconError), 1);
    EXPECT_EQ(seen, L"缺少文件|错误|16");
}
