// The scrambled-file decoder and the ini readers' decide-and-decode step over any file: the copy
// is the model's decoding byte for byte, and no copy is left behind.
#include <string>

#include "fuzz/support/check.h"
#include "fuzz/support/scratch_dir.h"
#include "launcher/config/scrambled_file.h"
#include "launcher/config/scrambled_ini.h"
#include "system/profile.h"
#include "system/program_directory.h"
#include "tests/support/temp_dir.h"

using fuzzing::Check;

namespace {

// The format: plain byte p at offset n is stored as p + key[n mod 8]; a key shorter than eight
// bytes is padded with zero bytes and decoding starts at its end. Line feeds become CR LF.
std::string Decode(std::string_view scrambled, const std::string& key) {
    std::string padded = key.substr(0, 8);
    const size_t start = padded.size() >= 8 ? 0 : padded.size();
    padded.resize(8, '\0');
    std::string plain;
    for (size_t n = 0; n < scrambled.size(); ++n) {
        const auto byte = static_cast<char>(scrambled[n] - padded[(start + n) % 8]);
        if (byte == '\n')
            plain += '\r';
        plain += byte;
    }
    return plain;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path& dir = fuzzing::ScratchDir();
    platform::SetProgramDirectory(dir.wstring());
    // The first byte picks the key: even, the launcher's; odd, up to twelve printable bytes taken
    // from the input.
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::string key = ScrambleKey.ToStdString();
    if (!rest.empty()) {
        const auto selector = static_cast<unsigned char>(rest.front());
        rest.remove_prefix(1);
        if ((selector & 1) != 0) {
            key = std::string(rest.substr(0, (selector >> 1) % 13));
            rest.remove_prefix(key.size());
            for (char& c : key)
                c = static_cast<char>((static_cast<unsigned char>(c) % 94) + 33);
        }
    }
    const std::string scrambled(rest);

    fuzzing::WriteBytes(dir / "Do.ini", scrambled);
    const std::wstring wideKey(key.begin(), key.end());
    Check(DecodeScrambledFile(L"Do.ini", wideKey.c_str(), L"Do.ini.out"));
    Check(testing_support::ReadFile(dir / "Do.ini.out") == Decode(scrambled, key));

    const IniToRead ini = PrepareIniToRead(L"Do.ini", LeftoverCopy::Remove);
    platform::ReadProfileSectionNames(ini.path, 4096);
    platform::ReadProfileString(ini.path, L"Setting", L"AppTitle", L"", 256);
    if (ini.copy)
        RemoveIniCopy(L"Do.ini");
    Check(!std::filesystem::exists(dir / "Do.ini.tmp"));
    return 0;
}
