#include "system/modules.h"
#include "system/path.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

using platform::FindModuleSymbol;
using platform::FreeModule;
using platform::LoadModule;
using platform::SetModuleDirectory;
using testing_support::TempDir;

const std::filesystem::path kProbe = PROBE_PATH; // exports ProbeAnswer(), which gives 42
// A library every system running the launcher has, found by the system's own search.
constexpr const wchar_t* kSystemName = L"libz.so.1";

int Answer(platform::ModuleHandle module) {
    const auto probe = reinterpret_cast<int (*)()>(FindModuleSymbol(module, "ProbeAnswer"));
    return probe ? probe() : -1;
}

TEST(ModulesTest, TheProgramDirectoryComesBeforeTheSystem) {
    TempDir program;
    std::filesystem::copy_file(kProbe, program / "Probe.dll");
    std::filesystem::copy_file(kProbe, program / "libz.so.1");
    SetModuleDirectory(program.wide());

    platform::ModuleHandle shipped = LoadModule(L"Probe.dll");
    ASSERT_NE(shipped, nullptr);
    EXPECT_EQ(Answer(shipped), 42);
    EXPECT_EQ(FindModuleSymbol(shipped, "NoSuchSymbol"), nullptr);
    FreeModule(shipped);

    platform::ModuleHandle shadowing = LoadModule(kSystemName);
    ASSERT_NE(shadowing, nullptr);
    EXPECT_EQ(Answer(shadowing), 42);
    FreeModule(shadowing);
}

TEST(ModulesTest, ABareNameFallsBackToTheSystemSearch) {
    TempDir program;
    SetModuleDirectory(program.wide());
    platform::ModuleHandle module = LoadModule(kSystemName);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(FindModuleSymbol(module, "zlibVersion"), nullptr);
    EXPECT_EQ(FindModuleSymbol(module, "ProbeAnswer"), nullptr);
    FreeModule(module);
    EXPECT_EQ(LoadModule(L"Probe.dll"), nullptr);
}

TEST(ModulesTest, ABrokenShippedModuleIsNotReplacedByTheSystemsCopy) {
    TempDir program;
    testing_support::WriteFile(program / "libz.so.1", "not a shared object");
    SetModuleDirectory(*platform::FromPath(program.path())); // without the trailing "/"
    EXPECT_EQ(LoadModule(kSystemName), nullptr);
}

TEST(ModulesTest, PathsAreLoadedAsGiven) {
    TempDir program;
    std::filesystem::copy_file(kProbe, program / "renamed.so");
    SetModuleDirectory(L"/nonexistent/");
    platform::ModuleHandle module = LoadModule(*platform::FromPath(program / "renamed.so"));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(Answer(module), 42);
    FreeModule(module);

    EXPECT_EQ(LoadModule(*platform::FromPath(program / "missing.so")), nullptr);
    EXPECT_EQ(LoadModule(L"NoSuchModule.dll"), nullptr);
    EXPECT_EQ(LoadModule(L""), nullptr);
    EXPECT_EQ(FindModuleSymbol(nullptr, "ProbeAnswer"), nullptr);
    FreeModule(nullptr);
}

} // namespace
