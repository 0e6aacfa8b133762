// zel.exe as the launcher starts it: copied into a program directory, run from elsewhere.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <vector>

#include "tests/scripts/command.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

class GameClientTest : public ::testing::Test {
protected:
    GameClientTest() {
        std::filesystem::copy_file(testing_support::BinDir() / "zel.exe",
                                   program.path() / "zel.exe");
    }

    // Runs zel.exe with args from the working directory; its exit code, or -1 when it did not
    // exit normally.
    int Run(std::vector<std::string> args) const {
        args.insert(args.begin(), program.path() / "zel.exe");
        return testing_support::RunCommand(args, workingDir.path()).exitCode;
    }

    std::string Log() const { return ReadFile(program.path() / "zel-started.log"); }
    std::string Cwd() const { return workingDir.path().string(); }

    TempDir program;
    TempDir workingDir;
};

} // namespace

TEST_F(GameClientTest, AppendsOneLinePerRunWithArgumentsDirectoryAndSavedServer) {
    WriteFile(program.path() / "zel.ini", "[Other]\r\nServerAddr=wrong\r\n"
                                          "[setup]\r\nServerListUrl=http://list/\r\n"
                                          " ServerAddr = \"10.0.0.7\" \r\nServerPort=7000\r\n"
                                          "ChargeUrl=http://pay/a\"b\\c\r\nServerSid=\xE5\x8C\xBA"
                                          "7\r\n");
    ASSERT_EQ(Run({"ws"}), 0);
    const std::string server =
        R"( ServerAddr="10.0.0.7" ServerPort="7000" ChargeUrl="http://pay/a\"b\\c" ServerSid=")"
        "\xE5\x8C\xBA"
        "7\"\n";
    const std::string first = "args=[\"ws\"] cwd=\"" + Cwd() + "\"" + server;
    EXPECT_EQ(Log(), first);

    ASSERT_EQ(Run({"", "two words", "line\nbreak\t\x7F", "q\"\\"}), 0);
    EXPECT_EQ(Log(), first + R"(args=["","two words","line\x0abreak\x09\x7f","q\"\\"] cwd=")" +
                         Cwd() + "\"" + server);
}

TEST_F(GameClientTest, WithoutZelIniTheServerValuesAreEmpty) {
    ASSERT_EQ(Run({}), 0);
    EXPECT_EQ(Log(), "args=[] cwd=\"" + Cwd() +
                         R"(" ServerAddr="" ServerPort="" ChargeUrl="" ServerSid="")"
                         "\n");
}

TEST_F(GameClientTest, RefusesALogThatIsALinkOrAFifo) {
    WriteFile(program.path() / "sentinel", "keep");
    std::filesystem::create_symlink(program.path() / "sentinel",
                                    program.path() / "zel-started.log");
    EXPECT_EQ(Run({"ws"}), 1);
    EXPECT_EQ(ReadFile(program.path() / "sentinel"), "keep");

    std::filesystem::remove(program.path() / "zel-started.log");
    ASSERT_EQ(mkfifo((program.path() / "zel-started.log").c_str(), 0600), 0);
    EXPECT_EQ(Run({"ws"}), 1) << "a FIFO without a reader must not block the client";
}
