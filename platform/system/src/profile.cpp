#include "system/profile.h"
#include "system/regular_file.h"

#include "case_fold.h"
#include "profile_document.h"
#include "system/file_operations.h"
#include "system/path.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

using detail::LineKind;

enum class ReadResult { Ok, Missing, Failed };

// Ini files are capped: a FIFO, a device or a huge file in one's place is unreadable, never a
// hang or a memory sink.
ReadResult ReadBytes(const std::wstring& file, std::string& bytes) {
    const auto path = ToPath(file);
    if (!path)
        return ReadResult::Failed;
    FileBytes read = OpenRegularForRead(*path, kIniFileCap);
    if (read.problem == FileProblem::Missing)
        return ReadResult::Missing;
    if (!read.ok())
        return ReadResult::Failed;
    bytes = std::move(read.bytes);
    return ReadResult::Ok;
}

std::optional<detail::ProfileDocument> LoadDocument(const std::wstring& file) {
    std::string bytes;
    if (ReadBytes(file, bytes) != ReadResult::Ok)
        return std::nullopt;
    return detail::ParseProfile(bytes);
}

// Index of the first line holding [section] key. Sections repeated in a file act as one.
std::optional<size_t> FindKey(const detail::ProfileDocument& document, std::wstring_view section,
                              std::wstring_view key) {
    bool inSection = false;
    for (size_t i = 0; i < document.lines.size(); ++i) {
        const detail::ParsedLine line = detail::ClassifyLine(document.lines[i].text);
        if (line.kind == LineKind::Section)
            inSection = detail::EqualsIgnoringCase(line.name, section);
        else if (inSection && line.kind == LineKind::Key &&
                 detail::EqualsIgnoringCase(line.name, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::wstring> LookUp(const detail::ProfileDocument* document,
                                   const std::wstring& section, const std::wstring& key) {
    if (document == nullptr)
        return std::nullopt;
    const auto index = FindKey(*document, detail::TrimBlanks(section), detail::TrimBlanks(key));
    if (!index)
        return std::nullopt;
    return std::wstring(detail::ClassifyLine(document->lines[*index].text).value);
}

int ParseLeadingInt(std::wstring_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == L'-' || text.front() == L'+')) {
        negative = text.front() == L'-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    long long value = 0;
    for (wchar_t c : text) {
        int digit = -1;
        if (c >= L'0' && c <= L'9')
            digit = c - L'0';
        else if (base == 16 && c >= L'a' && c <= L'f')
            digit = c - L'a' + 10;
        else if (base == 16 && c >= L'A' && c <= L'F')
            digit = c - L'A' + 10;
        if (digit < 0)
            break;
        // Saturates instead of wrapping: a huge number in a file stays a huge number.
        value = std::min<long long>(value * base + digit, static_cast<long long>(INT_MAX) + 1);
    }
    if (negative)
        value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// Names and values that would change the file's structure are refused.
bool IsWritable(std::wstring_view section, std::wstring_view key, std::wstring_view value) {
    const auto hasLineBreak = [](std::wstring_view text) {
        return text.find_first_of(L"\r\n") != std::wstring_view::npos;
    };
    if (!WideToUtf8(section) || !WideToUtf8(key) || !WideToUtf8(value))
        return false;
    return !section.empty() && !key.empty() && !hasLineBreak(section) && !hasLineBreak(key) &&
           !hasLineBreak(value) && section.find(L']') == std::wstring_view::npos &&
           key.find(L'=') == std::wstring_view::npos && key.front() != L'[' && key.front() != L';';
}

} // namespace

ProfileFile::ProfileFile(const std::wstring& file) {
    if (auto document = LoadDocument(file))
        document_ = std::make_shared<const detail::ProfileDocument>(std::move(*document));
}

std::wstring ProfileFile::ReadString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& defaultValue, size_t bufferChars) const {
    if (bufferChars == 0)
        return {};
    std::wstring value = LookUp(document_.get(), section, key).value_or(defaultValue);
    // The caller's buffer holds bufferChars - 1 characters and the terminator.
    if (value.size() > bufferChars - 1)
        value.resize(bufferChars - 1);
    return value;
}

int ProfileFile::ReadInt(const std::wstring& section, const std::wstring& key,
                         int defaultValue) const {
    const auto value = LookUp(document_.get(), section, key);
    return value ? ParseLeadingInt(*value) : defaultValue;
}

std::vector<std::wstring> ProfileFile::SectionNames(size_t bufferChars) const {
    std::vector<std::wstring> names;
    if (!document_)
        return names;
    size_t used = 1; // the list's final terminator
    for (const detail::ProfileLine& line : document_->lines) {
        const detail::ParsedLine parsed = detail::ClassifyLine(line.text);
        if (parsed.kind != LineKind::Section || parsed.name.empty())
            continue;
        bool seen = false;
        for (const std::wstring& name : names)
            seen = seen || detail::EqualsIgnoringCase(name, parsed.name);
        if (seen)
            continue;
        if (used + parsed.name.size() + 1 > bufferChars)
            break;
        used += parsed.name.size() + 1;
        names.emplace_back(parsed.name);
    }
    return names;
}

std::wstring ReadProfileString(const std::wstring& file, const std::wstring& section,
                               const std::wstring& key, const std::wstring& defaultValue,
                               size_t bufferChars) {
    return ProfileFile(file).ReadString(section, key, defaultValue, bufferChars);
}

int ReadProfileInt(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                   int defaultValue) {
    return ProfileFile(file).ReadInt(section, key, defaultValue);
}

std::vector<std::wstring> ReadProfileSectionNames(const std::wstring& file, size_t bufferChars) {
    return ProfileFile(file).SectionNames(bufferChars);
}

bool WriteProfileString(const std::wstring& file, const std::wstring& section,
                        const std::wstring& key, const std::wstring& value) {
    const std::wstring_view sectionName = detail::TrimBlanks(section);
    const std::wstring_view keyName = detail::TrimBlanks(key);
    const auto path = ToPath(file);
    if (!path || !IsWritable(sectionName, keyName, value))
        return false;
    std::string bytes;
    const ReadResult read = ReadBytes(file, bytes);
    if (read == ReadResult::Failed)
        return false;
    detail::ProfileDocument document = detail::ParseProfile(bytes);
    auto& lines = document.lines;

    if (const auto index = FindKey(document, sectionName, keyName)) {
        // Keep the spelling of the name already in the file and the line's own line end.
        const std::wstring existing(detail::ClassifyLine(lines[*index].text).name);
        const bool hadCr = lines[*index].raw.ends_with('\r');
        lines[*index] = detail::MakeProfileLine(existing + L"=" + value, hadCr);
        return ReplaceFileAtomically(*path, document.Serialise());
    }

    // After the last non-blank line of the first matching section, so blank separators stay.
    std::optional<size_t> insertAfter;
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const detail::ParsedLine line = detail::ClassifyLine(lines[i].text);
        if (line.kind == LineKind::Section) {
            if (insertAfter)
                break;
            inSection = detail::EqualsIgnoringCase(line.name, sectionName);
        }
        if (inSection && !detail::TrimBlanks(lines[i].text).empty())
            insertAfter = i;
    }
    const std::wstring entry = std::wstring(keyName) + L"=" + value;
    const bool atEnd = !insertAfter || *insertAfter + 1 == lines.size();
    if (atEnd && !document.finalNewline && !lines.empty()) {
        // The last line gets the line end it lacked, in the file's style.
        if (document.crlf && !lines.back().raw.ends_with('\r'))
            lines.back().raw += '\r';
        document.finalNewline = true;
    }
    if (insertAfter) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*insertAfter) + 1,
                     detail::MakeProfileLine(entry, document.crlf));
    } else {
        lines.push_back(
            detail::MakeProfileLine(L"[" + std::wstring(sectionName) + L"]", document.crlf));
        lines.push_back(detail::MakeProfileLine(entry, document.crlf));
        document.finalNewline = true;
    }
    return ReplaceFileAtomically(*path, document.Serialise());
}

} // namespace platform
