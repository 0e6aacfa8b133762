#include "launcher/config/settings_file.h"

#include <string_view>

#include <wx/mstream.h>

#include "launcher/log.h"

#include "system/file_io.h"
#include "system/file_operations.h"
#include "system/path.h"
#include "system/regular_file.h"

namespace {

// Stands in for an empty line while wxFileConfig holds the text: a comment line it keeps
// verbatim. The character after "#" is a Unicode noncharacter, so no real file has this line.
constexpr std::string_view kBlankLineMark = "#\xEF\xB7\x90";

// Calls fn with each line of text, without its line end; the last line may be empty.
template <typename Fn> void ForEachLine(std::string_view text, Fn fn) {
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string_view::npos; start = end + 1)
        fn(text.substr(start, end - start), true);
    fn(text.substr(start), false);
}

} // namespace

const wxMBConv& SettingsTextConverter() {
    static const wxMBConvUTF8 converter(wxMBConvUTF8::MAP_INVALID_UTF8_TO_PUA);
    return converter;
}

SettingsFileStatus ReadSettingsBytes(const wxString& path, std::string& bytes) {
    const auto file = platform::ToPath(path.ToStdWstring());
    if (path.empty() || !file)
        return SettingsFileStatus::Unreadable;
    // Only regular files and a cap: a pipe, device or huge file in the file's place would
    // hang start-up or fill memory.
    platform::FileBytes read = platform::OpenRegularForRead(*file, platform::kIniFileCap);
    if (read.problem == platform::FileProblem::Missing)
        return SettingsFileStatus::Missing;
    if (!read.ok()) {
        if (read.problem == platform::FileProblem::TooLarge)
            LOG_ERROR(L"%s(%d): %s is larger than %d bytes and is not read", path,
                      static_cast<int>(platform::kIniFileCap));
        return SettingsFileStatus::Unreadable;
    }
    bytes = std::move(read.bytes);
    return SettingsFileStatus::Ok;
}

SettingsDocument::SettingsDocument(const std::string& bytes) {
    const size_t firstEnd = bytes.find('\n');
    crlf_ = firstEnd != std::string::npos && firstEnd > 0 && bytes[firstEnd - 1] == '\r';
    finalLineEnd_ = bytes.empty() || bytes.back() == '\n';
    std::string text;
    text.reserve(bytes.size());
    ForEachLine(bytes, [&](std::string_view line, bool ended) {
        if (ended && (line.empty() || line == "\r"))
            text += kBlankLineMark;
        else
            text += line;
        if (ended)
            text += '\n';
    });
    wxMemoryInputStream stream(text.data(), text.size());
    config_ = std::make_unique<wxFileConfig>(stream, SettingsTextConverter());
}

bool SettingsDocument::Serialise(std::string& bytes) const {
    wxMemoryOutputStream stream;
    if (!config_->Save(stream, SettingsTextConverter()))
        return false;
    std::string saved(stream.GetSize(), '\0');
    stream.CopyTo(saved.data(), saved.size());
    bytes.clear();
    bytes.reserve(saved.size() + saved.size() / 16);
    ForEachLine(saved, [&](std::string_view line, bool ended) {
        if (line != kBlankLineMark)
            bytes += line;
        if (ended)
            bytes += crlf_ ? "\r\n" : "\n";
    });
    const std::string_view lineEnd = crlf_ ? "\r\n" : "\n";
    if (!finalLineEnd_ && std::string_view(bytes).ends_with(lineEnd))
        bytes.resize(bytes.size() - lineEnd.size());
    return true;
}

bool ReadSettingText(const wxFileConfig& config, const wxString& key, wxString& field) {
    wxString value;
    if (!config.Read(key, &value))
        return false;
    field = value;
    return true;
}

bool ReadSettingFlag(const wxFileConfig& config, const wxString& key, bool& field) {
    long value = 0;
    if (!config.Read(key, &value))
        return false;
    field = value != 0;
    return true;
}

std::optional<SettingsDocument> OpenSettingsFile(const wxString& path) {
    std::string bytes;
    if (ReadSettingsBytes(path, bytes) != SettingsFileStatus::Ok)
        return std::nullopt;
    return SettingsDocument(bytes);
}

bool WriteSettingsFile(const SettingsDocument& document, const wxString& path) {
    const auto file = platform::ToPath(path.ToStdWstring());
    std::string bytes;
    return file && document.Serialise(bytes) && platform::ReplaceFileAtomically(*file, bytes);
}
