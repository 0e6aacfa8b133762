#pragma once
// Shared by the configuration tests: a fresh temporary program directory that the UI library
// reports as the instance path, and the encoder that produces scrambled files.
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include <gtest/gtest.h>
#include <wx/init.h>

#include "tests/support/temp_dir.h"

class ProgramDirTest : public ::testing::Test {
protected:
    ProgramDirTest();

    std::filesystem::path File(const std::string& name) const { return dir.path() / name; }
    wxString WideFile(const std::string& name) const;
    void Write(const std::string& name, const std::string& bytes) const;
    std::string Read(const std::string& name) const;
    bool Exists(const std::string& name) const;
    // Names of everything in the program directory.
    std::set<std::string> Entries() const;

    testing_support::TempDir dir;
    wxInitializer wx;
};

// The stored form of plain text under the launcher's key.
std::string Scramble(std::string_view plain);

// The plain text as the decoded copy holds it: every LF widened to CR LF.
std::string AsCopy(std::string_view plain);
