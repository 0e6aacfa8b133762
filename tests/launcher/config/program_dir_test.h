#pragma once
// Shared by the configuration tests: a fresh temporary program directory that the UI library
// reports as the instance path, and the encoder that produces scrambled files.
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include <gtest/gtest.h>
#include <wx/init.h>

#include "duilib/paint_manager.h"
#include "launcher/config/scrambled_ini.h"
#include "tests/support/temp_dir.h"

class ProgramDirTest : public ::testing::Test {
protected:
    ProgramDirTest() { DuiLib::CPaintManagerUI::SetInstance(dir.wide().c_str()); }

    std::filesystem::path File(const std::string& name) const { return dir / name; }
    wxString WideFile(const std::string& name) const {
        return wxString(dir.wide()) + wxString::FromUTF8(name);
    }
    void Write(const std::string& name, const std::string& bytes) const {
        testing_support::WriteFile(File(name), bytes);
    }
    std::string Read(const std::string& name) const {
        return testing_support::ReadFile(File(name));
    }
    // Names of everything in the program directory.
    std::set<std::string> Entries() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            names.insert(entry.path().filename().string());
        return names;
    }

    testing_support::TempDir dir;
    wxInitializer wx;
};

// The stored form of plain text under the launcher's key: only its first eight bytes are used.
inline std::string Scramble(std::string_view plain) {
    const std::string key = ScrambleKey.ToStdString();
    std::string stored(plain);
    for (size_t i = 0; i < stored.size(); ++i)
        stored[i] = static_cast<char>(static_cast<unsigned char>(stored[i]) +
                                      static_cast<unsigned char>(key[i % 8]));
    return stored;
}
