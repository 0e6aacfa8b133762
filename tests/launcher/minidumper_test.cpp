// The crash filter end to end: copies of crash_helper crash for real in temporary program
// directories, with the DBGHELP.DLL built by this tree (or a broken one) beside them or on the
// library path. The tests check what a user finds: exit status, dump files, terminal output.
#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempDir;

const fs::path TestsDir = CRASH_TEST_DIR;

struct Outcome {
    pid_t pid = 0;
    int status = 0;
    std::string out;
    std::string err;
    std::vector<fs::path> dumps;
};

bool ExitedWithZero(const Outcome& outcome) {
    return WIFEXITED(outcome.status) && WEXITSTATUS(outcome.status) == 0;
}

// "key: value" lines of a dump's header, before the backtrace.
std::map<std::string, std::string> HeaderFields(const std::string& dump) {
    std::map<std::string, std::string> fields;
    std::istringstream lines(dump);
    for (std::string line; std::getline(lines, line) && line != "backtrace:";) {
        const auto colon = line.find(": ");
        if (colon != std::string::npos)
            fields[line.substr(0, colon)] = line.substr(colon + 2);
    }
    return fields;
}

std::string Utc(std::time_t seconds, const char* format) {
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[64];
    std::strftime(text, sizeof text, format, &parts);
    return text;
}

class CrashFilterTest : public ::testing::Test {
protected:
    TempDir program;   // where the helper runs from
    TempDir elsewhere; // captured output, and a directory on the library search path

    static void PlaceModule(const fs::path& module, const fs::path& dir) {
        fs::copy_file(module, dir / "DBGHELP.DLL", fs::copy_options::overwrite_existing);
    }
    static fs::path RealWriter() { return testing_support::BinDir() / "DBGHELP.DLL"; }
    static fs::path WriterlessModule() { return TestsDir / "module_without_writer.so"; }

    // Runs a copy of the helper from the program directory and waits for it to end.
    Outcome Crash(const std::vector<std::string>& args, const fs::path& libraryPath = {}) {
        const fs::path helper = program / "crash_helper";
        fs::copy_file(TestsDir / "crash_helper", helper, fs::copy_options::overwrite_existing);

        std::vector<std::string> argStrings{helper.string()};
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        std::vector<std::string> envStrings;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            if (std::string(*entry).rfind("LD_LIBRARY_PATH=", 0) != 0)
                envStrings.emplace_back(*entry);
        }
        if (!libraryPath.empty())
            envStrings.push_back("LD_LIBRARY_PATH=" + libraryPath.string());
        auto pointers = [](std::vector<std::string>& strings) {
            std::vector<char*> result;
            for (auto& s : strings)
                result.push_back(s.data());
            result.push_back(nullptr);
            return result;
        };
        std::vector<char*> argv = pointers(argStrings);
        std::vector<char*> envp = pointers(envStrings);

        const std::string outPath = elsewhere / "stdout";
        const std::string errPath = elsewhere / "stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        Outcome outcome;
        const int spawned =
            posix_spawn(&outcome.pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(spawned, 0);
        if (spawned == 0)
            waitpid(outcome.pid, &outcome.status, 0);
        outcome.out = ReadFile(outPath);
        outcome.err = ReadFile(errPath);
        for (const auto& entry : fs::directory_iterator(program.path())) {
            if (entry.path().extension() == ".dmp")
                outcome.dumps.push_back(entry.path());
        }
        return outcome;
    }
};

struct CrashKind {
    const char* how;
    const char* signal;
    const char* function; // expected in the backtrace
    bool onWorker;
};

void PrintTo(const CrashKind& kind, std::ostream* out) {
    *out << kind.how;
}

class CrashKindTest : public CrashFilterTest, public ::testing::WithParamInterface<CrashKind> {};

TEST_P(CrashKindTest, EndsWithCodeZeroLeavingOneCompleteDump) {
    const CrashKind kind = GetParam();
    PlaceModule(RealWriter(), program.path());

    const Outcome outcome = Crash({kind.how});

    EXPECT_TRUE(ExitedWithZero(outcome)) << "status " << outcome.status;
    EXPECT_EQ(outcome.out, "");
    EXPECT_EQ(outcome.err, "");
    ASSERT_EQ(outcome.dumps.size(), 1u);
    const std::string dump = ReadFile(outcome.dumps[0]);
    const auto fields = HeaderFields(dump);
    EXPECT_EQ(fields.at("signal").rfind(std::string(kind.signal) + " (", 0), 0u) << dump;
    EXPECT_EQ(fields.at("process"), std::to_string(outcome.pid));
    // The dump names the thread that crashed, whichever it was.
    EXPECT_EQ(fields.at("thread") != std::to_string(outcome.pid), kind.onWorker) << dump;
    const auto backtrace = dump.find("\nbacktrace:\n");
    ASSERT_NE(backtrace, std::string::npos) << dump;
    EXPECT_NE(dump.find(kind.function, backtrace), std::string::npos) << dump;
    EXPECT_TRUE(dump.ends_with("\nend of dump\n")) << dump;
}

INSTANTIATE_TEST_SUITE_P(
    FatalSignals, CrashKindTest,
    ::testing::Values(CrashKind{"null-write", "SIGSEGV", "CrashByNullWrite", false},
                      CrashKind{"worker-null-write", "SIGSEGV", "CrashByNullWrite", true},
                      CrashKind{"abort", "SIGABRT", "CrashByAbort", false},
                      CrashKind{"divide-by-zero", "SIGFPE", "CrashByDivision", false},
                      CrashKind{"bus", "SIGBUS", "CrashByBusError", false},
                      CrashKind{"illegal", "SIGILL", "CrashByIllegalInstruction", false},
                      // These two run the filter on the alternate signal stack.
                      CrashKind{"stack-overflow", "SIGSEGV", "CrashByRecursion", false},
                      CrashKind{"worker-stack-overflow", "SIGSEGV", "CrashByRecursion", true}),
    [](const auto& info) {
        std::string name = info.param.how;
        std::erase(name, '-');
        return name;
    });

TEST_F(CrashFilterTest, DumpIsNamedAfterTheCrashAndRecordsTheFault) {
    PlaceModule(RealWriter(), program.path());
    const std::time_t before = std::time(nullptr);
    const Outcome outcome = Crash({"null-write"});
    const std::time_t after = std::time(nullptr);

    ASSERT_EQ(outcome.dumps.size(), 1u);
    const auto fields = HeaderFields(ReadFile(outcome.dumps[0]));
    EXPECT_EQ(fields.at("signal"), "SIGSEGV (11)");
    EXPECT_EQ(fields.at("code"), std::to_string(SEGV_MAPERR));
    EXPECT_EQ(fields.at("fault address"), "0x" + std::string(2 * sizeof(void*), '0'));
    const std::time_t written = std::stoll(fields.at("time"));
    EXPECT_LE(before, written);
    EXPECT_GE(after, written);
    EXPECT_EQ(fields.at("time"),
              std::to_string(written) + " (" + Utc(written, "%Y-%m-%d %H:%M:%S") + " UTC)");
    // The name's stamp is the crash time, taken a moment before the writer's.
    const std::string name = outcome.dumps[0].filename();
    bool stampMatches = false;
    for (std::time_t second = before; second <= written; ++second) {
        stampMatches = stampMatches || name == "crash-" + Utc(second, "%Y%m%d-%H%M%S") + "-" +
                                                   std::to_string(outcome.pid) + ".dmp";
    }
    EXPECT_TRUE(stampMatches) << name;
}

TEST_F(CrashFilterTest, ProgramDirectoryCopyIsPreferredOverTheSearchPath) {
    PlaceModule(RealWriter(), program.path());
    PlaceModule(WriterlessModule(), elsewhere.path());
    const Outcome preferred = Crash({"null-write"}, elsewhere.path());
    EXPECT_TRUE(ExitedWithZero(preferred));
    EXPECT_EQ(preferred.dumps.size(), 1u);

    // Swapped: the program directory's module decides even though it cannot write dumps.
    fs::remove(preferred.dumps.at(0));
    PlaceModule(WriterlessModule(), program.path());
    PlaceModule(RealWriter(), elsewhere.path());
    const Outcome writerless = Crash({"null-write", "loud"}, elsewhere.path());
    EXPECT_TRUE(ExitedWithZero(writerless));
    EXPECT_TRUE(writerless.dumps.empty());
    EXPECT_EQ(writerless.err, "DBGHELP.DLL too old\n");
}

TEST_F(CrashFilterTest, SystemSearchFindsTheWriterWhenNoneIsBesideTheProgram) {
    PlaceModule(RealWriter(), elsewhere.path());
    const Outcome outcome = Crash({"abort"}, elsewhere.path());
    EXPECT_TRUE(ExitedWithZero(outcome));
    // The dump still goes to the program directory, not to the module's.
    EXPECT_EQ(outcome.dumps.size(), 1u);
}

TEST_F(CrashFilterTest, WithoutAnyWriterTheProcessStillEndsWithCodeZero) {
    const Outcome silent = Crash({"null-write"});
    EXPECT_TRUE(ExitedWithZero(silent));
    EXPECT_TRUE(silent.dumps.empty());
    EXPECT_EQ(silent.err, "");

    const Outcome loud = Crash({"null-write", "loud"});
    EXPECT_TRUE(ExitedWithZero(loud));
    EXPECT_EQ(loud.err, "DBGHELP.DLL not found\n");
}

TEST_F(CrashFilterTest, NotSilentTellsTheUserWhereTheDumpGoes) {
    PlaceModule(RealWriter(), program.path());
    const Outcome outcome = Crash({"null-write", "loud"});
    EXPECT_TRUE(ExitedWithZero(outcome));
    ASSERT_EQ(outcome.dumps.size(), 1u);
    EXPECT_EQ(outcome.err, "There was an unexpected error:\n\n\nSaving a diagnostic file.\n\n"
                           "Filename: " +
                               outcome.dumps[0].string() + "\n");
    EXPECT_EQ(outcome.out, "");
}

TEST_F(CrashFilterTest, ThreadsCrashingTogetherLeaveOneDump) {
    PlaceModule(RealWriter(), program.path());
    const Outcome outcome = Crash({"two-threads"});
    EXPECT_TRUE(ExitedWithZero(outcome));
    ASSERT_EQ(outcome.dumps.size(), 1u);
    // One writer only: a second one would truncate the same name and interleave its lines.
    const std::string dump = ReadFile(outcome.dumps[0]);
    EXPECT_TRUE(dump.starts_with("CRASH DUMP 1\n") && dump.ends_with("\nend of dump\n")) << dump;
    EXPECT_EQ(dump.find("CRASH DUMP", 1), std::string::npos) << dump;
}

TEST_F(CrashFilterTest, WriterThatCrashesItselfStillEndsTheProcessWithCodeZero) {
    PlaceModule(TestsDir / "crashing_writer.so", program.path());
    const Outcome outcome = Crash({"null-write"});
    EXPECT_TRUE(ExitedWithZero(outcome)) << "status " << outcome.status;
    EXPECT_EQ(outcome.err, "");
}

TEST_F(CrashFilterTest, WithoutRegisteredDumperTheSignalKillsTheProcess) {
    PlaceModule(RealWriter(), program.path());
    const Outcome outcome = Crash({"null-write", "unregistered"});
    ASSERT_TRUE(WIFSIGNALED(outcome.status)) << "status " << outcome.status;
    EXPECT_EQ(WTERMSIG(outcome.status), SIGSEGV);
    EXPECT_TRUE(outcome.dumps.empty());
}

TEST_F(CrashFilterTest, PlantedLinkAtTheDumpPathIsNotFollowed) {
    PlaceModule(RealWriter(), program.path());
    const fs::path victim = elsewhere / "victim";
    testing_support::WriteFile(victim, "keep");
    const fs::path planted = program / "planted.dmp";
    fs::create_symlink(victim, planted);

    const Outcome outcome = Crash({"null-write", "loud", "dump-path=" + planted.string()});

    EXPECT_TRUE(ExitedWithZero(outcome));
    EXPECT_EQ(ReadFile(victim), "keep");
    EXPECT_NE(outcome.err.find("Failed to create dump file '" + planted.string() + "' (error " +
                               std::to_string(ELOOP) + ")\n"),
              std::string::npos)
        << outcome.err;
}

} // namespace
