#pragma once
// An ini file as a list of lines, for the profile reader and writer. Internal.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::detail {

struct ProfileLine {
    std::string raw;   // the bytes written back, without the line feed (a CR stays)
    std::wstring text; // the decoded line without its CR
};

// UTF-8 files keep every line's bytes; UTF-16 and GB18030 files become UTF-8 lines, since
// writes are UTF-8.
struct ProfileDocument {
    std::string bom; // a UTF-8 byte-order mark, kept on write
    std::vector<ProfileLine> lines;
    bool finalNewline = false;
    bool crlf = false; // the line end for lines we add, following the file's first line

    std::string Serialise() const;
};

ProfileDocument ParseProfile(std::string_view bytes);

// A line to add or replace; with crlf its bytes end in CR like the lines around it.
ProfileLine MakeProfileLine(std::wstring_view text, bool crlf);

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::wstring_view name;  // trimmed section or key name
    std::wstring_view value; // trimmed, one pair of surrounding quotes dropped
};

// Comments (";"), blank lines and malformed headers are Other. A line without "=" inside a
// section is a key with an empty value.
ParsedLine ClassifyLine(std::wstring_view text);

std::wstring_view TrimBlanks(std::wstring_view text);

} // namespace platform::detail
