#include "tests/launcher/config/program_dir_test.h"

#include "duilib/paint_manager.h"
#include "launcher/globals.h"

ProgramDirTest::ProgramDirTest() {
    DuiLib::CPaintManagerUI::SetInstance(dir.wide().c_str());
}

wxString ProgramDirTest::WideFile(const std::string& name) const {
    return wxString(dir.wide()) + wxString::FromUTF8(name);
}

void ProgramDirTest::Write(const std::string& name, const std::string& bytes) const {
    testing_support::WriteFile(File(name), bytes);
}

std::string ProgramDirTest::Read(const std::string& name) const {
    return testing_support::ReadFile(File(name));
}

bool ProgramDirTest::Exists(const std::string& name) const {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(File(name), ec));
}

std::set<std::string> ProgramDirTest::Entries() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.insert(entry.path().filename().string());
    return names;
}

std::string Scramble(std::string_view plain) {
    const std::string key = ScrambleKey.ToStdString();
    std::string stored(plain);
    for (size_t i = 0; i < stored.size(); ++i)
        stored[i] = static_cast<char>(static_cast<unsigned char>(stored[i]) +
                                      static_cast<unsigned char>(key[i % 8]));
    return stored;
}

std::string AsCopy(std::string_view plain) {
    std::string copy;
    for (char c : plain) {
        if (c == '\n')
            copy += '\r';
        copy += c;
    }
    return copy;
}
