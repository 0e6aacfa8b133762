#include "system/modules.h"
#include "system/path.h"
#include "system/program_directory.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

using platform::FindModuleSymbol;
using platform::LoadModule;
using platform::SetProgramDirectory;
using testing_support::TempDir;

const std::filesystem::path kProbe = PROBE_PATH; // exports ProbeAnswer(), which gives 42
// A library every system running the launcher has, found by the system's own search.
constexpr const wchar_t* kSystemName = L"libz.so.1";

// What the module's ProbeAnswer gives, -1 without one; frees the module.
int AnswerOf(platform::ModuleHandle module) {
    const auto probe = reinterpret_cast<int (*)()>(FindModuleSymbol(module, "ProbeAnswer"));
    const int answer = probe ? probe() : -1;
    platform::FreeModule(module);
    return answer;
}

TEST(ModulesTest, TheProgramDirectoryComesBeforeTheSystem) {
    TempDir program;
    std::filesystem::copy_file(kProbe, program / "Probe.dll");
    std::filesystem::copy_file(kProbe, program / "libz.so.1");
    SetProgramDirectory(program.wide());
    EXPECT_EQ(AnswerOf(LoadModule(L"Probe.dll")), 42);
    EXPECT_EQ(AnswerOf(LoadModule(kSystemName)), 42); // the shipped copy shadows the system's

    // A broken shipped copy is not silently replaced by the system's.
    testing_support::WriteFile(program / "libz.so.1", "not a shared object");
    SetProgramDirectory(*platform::FromPath(program.path())); // without the trailing "/"
    EXPECT_EQ(LoadModule(kSystemName), nullptr);
}

TEST(ModulesTest, OtherNamesFallBackToTheSystemAndPathsLoadAsGiven) {
    TempDir program;
    std::filesystem::copy_file(kProbe, program / "renamed.so");
    SetProgramDirectory(program.wide());
    EXPECT_EQ(AnswerOf(LoadModule(*platform::FromPath(program / "renamed.so"))), 42);
    platform::ModuleHandle system = LoadModule(kSystemName);
    EXPECT_NE(FindModuleSymbol(system, "zlibVersion"), nullptr);
    EXPECT_EQ(AnswerOf(system), -1);
    EXPECT_EQ(LoadModule(L"Probe.dll"), nullptr);
    EXPECT_EQ(LoadModule(L""), nullptr);
}

} // namespace
