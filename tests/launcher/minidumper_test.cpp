// The crash filter end to end: copies of crash_helper crash for real in temporary program
// directories, with the DBGHELP.DLL built by this tree (or one without the writer) beside them
// or on the library path. The tests check what a user finds: exit status, dump files, output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace testing_support;

const fs::path RealWriter = testing_support::BinDir() / "DBGHELP.DLL";
const fs::path WriterlessModule = fs::path(CRASH_TEST_DIR) / "module_without_writer.so";

struct Outcome {
    pid_t pid = 0;
    int status = 0;
    std::string output; // stdout and stderr
    std::vector<fs::path> dumps;

    bool ExitedWithZero() const { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }
};

// A program directory holding a copy of crash_helper and, when given, a DBGHELP.DLL; and another
// directory, on the library search path, with its own module when given.
struct CrashSetup {
    TempDir program, searchPath;

    explicit CrashSetup(const fs::path& programModule, const fs::path& searchPathModule = {}) {
        fs::copy_file(fs::path(CRASH_TEST_DIR) / "crash_helper", program / "crash_helper");
        if (!programModule.empty())
            fs::copy_file(programModule, program / "DBGHELP.DLL");
        if (!searchPathModule.empty())
            fs::copy_file(searchPathModule, searchPath / "DBGHELP.DLL");
    }

    // Runs the helper and waits for it to end.
    Outcome Crash(std::vector<std::string> args) {
        args.insert(args.begin(), (program / "crash_helper").string());
        std::vector<std::string> env{"LD_LIBRARY_PATH=" + searchPath.path().string()};
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (!std::string_view(*entry).starts_with("LD_LIBRARY_PATH="))
                env.emplace_back(*entry);
        }
        auto pointers = [](std::vector<std::string>& strings) {
            std::vector<char*> result;
            for (auto& s : strings)
                result.push_back(s.data());
            result.push_back(nullptr);
            return result;
        };
        const std::string outputPath = searchPath / "output";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        Outcome outcome;
        EXPECT_EQ(posix_spawn(&outcome.pid, args[0].c_str(), &actions, nullptr,
                              pointers(args).data(), pointers(env).data()),
                  0);
        posix_spawn_file_actions_destroy(&actions);
        waitpid(outcome.pid, &outcome.status, 0);
        outcome.output = ReadFile(outputPath);
        for (const auto& entry : fs::directory_iterator(program.path())) {
            if (entry.path().extension() == ".dmp")
                outcome.dumps.push_back(entry.path());
        }
        return outcome;
    }
};

TEST(CrashFilterTest, FatalSignalsOnAnyThreadsEndWithCodeZeroSilentlyLeavingOneCompleteDump) {
    const struct {
        const char* how;
        const char* signal;
        const char* function; // expected in the backtrace
        bool onWorker;
    } kinds[] = {
        {"null-write", "SIGSEGV", "CrashByNullWrite", false},
        {"worker-null-write", "SIGSEGV", "CrashByNullWrite", true},
        {"abort", "SIGABRT", "CrashByAbort", false},
        {"illegal", "SIGILL", "CrashByIllegalInstruction", false},
        {"stack-overflow", "SIGSEGV", "CrashByRecursion", false},
        // One writer only: a second one would truncate the same name and interleave its lines.
        {"two-threads", "SIGSEGV", "CrashByNullWrite", true},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.how);
        CrashSetup setup(RealWriter);
        const Outcome outcome = setup.Crash({kind.how});
        EXPECT_TRUE(outcome.ExitedWithZero()) << "status " << outcome.status;
        EXPECT_EQ(outcome.output, "");
        ASSERT_EQ(outcome.dumps.size(), 1u);
        const std::string pid = std::to_string(outcome.pid);
        const std::string name = outcome.dumps[0].filename().string();
        const std::string stamp = name.substr(6, 15); // UTC yyyymmdd-hhmmss
        EXPECT_EQ(name, "crash-" + stamp + "-" + pid + ".dmp");
        EXPECT_TRUE(stamp[8] == '-' && std::ranges::count_if(stamp, ::isdigit) == 14) << name;
        const std::string dump = ReadFile(outcome.dumps[0]);
        EXPECT_NE(dump.find("\nsignal: " + std::string(kind.signal) + " ("), std::string::npos)
            << dump;
        EXPECT_NE(dump.find("\nprocess: " + pid + "\n"), std::string::npos) << dump;
        // The dump names the thread that crashed, whichever it was.
        EXPECT_EQ(dump.find("\nthread: " + pid + "\n") == std::string::npos, kind.onWorker) << dump;
        EXPECT_NE(dump.find(kind.function, dump.find("\nbacktrace:\n")), std::string::npos) << dump;
        EXPECT_TRUE(dump.starts_with("CRASH DUMP 1\n") && dump.ends_with("\nend of dump\n"))
            << dump;
        EXPECT_EQ(dump.find("CRASH DUMP", 1), std::string::npos) << dump;
    }
}

TEST(CrashFilterTest, ProgramDirectoryModuleIsPreferredAndAnyMissingWriterStillEndsWithCodeZero) {
    const struct {
        fs::path inProgram, onSearchPath;
        size_t dumps;
    } cases[] = {
        {RealWriter, WriterlessModule, 1},
        {WriterlessModule, RealWriter, 0}, // it decides even though it cannot write dumps
        {{}, RealWriter, 1},               // the dump still goes to the program directory
        {{}, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.inProgram.string() + " | " + c.onSearchPath.string());
        const Outcome outcome = CrashSetup(c.inProgram, c.onSearchPath).Crash({"null-write"});
        EXPECT_TRUE(outcome.ExitedWithZero()) << "status " << outcome.status;
        EXPECT_EQ(outcome.output, "");
        EXPECT_EQ(outcome.dumps.size(), c.dumps);
    }
}

TEST(CrashFilterTest, PlantedLinkAtTheDumpPathIsNotFollowed) {
    CrashSetup setup(RealWriter);
    const fs::path victim = setup.searchPath / "victim";
    testing_support::WriteFile(victim, "keep");
    fs::create_symlink(victim, setup.program / "planted.dmp");
    const Outcome outcome = setup.Crash({"null-write", (setup.program / "planted.dmp").string()});
    EXPECT_TRUE(outcome.ExitedWithZero());
    EXPECT_EQ(ReadFile(victim), "keep");
}

} // namespace
