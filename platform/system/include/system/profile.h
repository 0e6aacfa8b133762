#pragma once
// Private-profile ini files with the rules older installations rely on: sections and keys
// compared case-insensitively, names and values trimmed, one pair of surrounding quotes
// dropped, first match wins, values truncated to bufferChars - 1, a missing file or key gives
// the default, a present-but-empty value gives "". Files are read as UTF-8 (BOM skipped),
// UTF-16 with BOM, else GB18030; writes are UTF-8. A section named twice acts as one section,
// and a line without "=" inside a section is a key with an empty value.
#include <memory>
#include <string>
#include <vector>

namespace platform {

namespace detail {
struct ProfileDocument;
}

// An ini file read once, at construction; every look-up goes to what was read. A missing or
// unreadable file reads as one without sections. Any thread; the object is immutable.
class ProfileFile {
public:
    explicit ProfileFile(const std::wstring& file);

    // False when the file was missing or could not be read.
    bool loaded() const { return document_ != nullptr; }
    // As ReadProfileString, ReadProfileInt and ReadProfileSectionNames below.
    std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                            const std::wstring& defaultValue, size_t bufferChars) const;
    int ReadInt(const std::wstring& section, const std::wstring& key, int defaultValue) const;
    std::vector<std::wstring> SectionNames(size_t bufferChars) const;

private:
    std::shared_ptr<const detail::ProfileDocument> document_;
};

// The functions below read the file anew on each call; use ProfileFile for several keys.

// The value of [section] key, at most bufferChars - 1 characters (bufferChars 0 gives "").
std::wstring ReadProfileString(const std::wstring& file, const std::wstring& section,
                               const std::wstring& key, const std::wstring& defaultValue,
                               size_t bufferChars);

// The integer at the start of the value (optional sign, decimal digits; "0x" hex accepted);
// the default when the key or file is missing, 0 when the value has no leading number.
int ReadProfileInt(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                   int defaultValue);

// Section names in file order, as they would fill a buffer of bufferChars characters (each name
// plus its terminator must fit; names that do not fit are dropped). Empty for a missing file.
std::vector<std::wstring> ReadProfileSectionNames(const std::wstring& file, size_t bufferChars);

// Writes [section] key=value, replacing the first existing entry or adding it at the end of the
// section (the section is added at the end of the file when missing). Creates the file when it
// does not exist (its directory must). Lines it does not touch keep their bytes; a file read as
// UTF-16 or GB18030 is rewritten as UTF-8. False when the file cannot be written, or when a
// name or value holds a line break (or "]" in the section, "=" in the key) that would change
// the file's structure; the file is then unchanged.
bool WriteProfileString(const std::wstring& file, const std::wstring& section,
                        const std::wstring& key, const std::wstring& value);

} // namespace platform
