// The profile reader over any file content: every read stays bounded, and a key it writes reads
// back as written.
#include <string>

#include "fuzz/support/check.h"
#include "fuzz/support/scratch_dir.h"
#include "system/profile.h"

using fuzzing::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::filesystem::path path = fuzzing::ScratchDir() / "zel.ini";
    fuzzing::WriteBytes(path, std::string_view(reinterpret_cast<const char*>(data), size));
    const std::wstring file = path.wstring();

    const auto sections = platform::ReadProfileSectionNames(file, 4096);
    size_t visited = 0;
    for (const std::wstring& section : sections) {
        if (++visited > 8)
            break;
        for (const wchar_t* key : {L"Version", L"ServerListUrl", L"Voice", L""}) {
            const std::wstring value = platform::ReadProfileString(file, section, key, L"-", 256);
            Check(value.size() < 256);
            platform::ReadProfileInt(file, section, key, 7);
        }
    }
    Check(platform::ReadProfileString(file, L"Setup", L"Version", L"default", 0).empty());

    // A write the reader accepted must be what the reader then finds, in an existing section
    // and in a new one.
    for (const wchar_t* section : {L"Setup", L"FuzzAdded"}) {
        if (platform::WriteProfileString(file, section, L"FuzzKey", L"fuzz value"))
            Check(platform::ReadProfileString(file, section, L"FuzzKey", L"", 256) ==
                  L"fuzz value");
    }
    return 0;
}
