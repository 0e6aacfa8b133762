#include "launcher/config/settings_file.h"

#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include <wx/mstream.h>
#include <wx/thread.h>

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

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The text with every CR LF as LF, to compare texts up to their line ends.
std::string WithLineFeeds(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    }
    return out;
}

// Holds what the ini library logs on this thread while it parses; it knows no file name, so
// its records say "file ''". The records go to the log afterwards, naming the file.
class ParseRecords : public wxLog {
public:
    explicit ParseRecords(wxString path) : path_(std::move(path)) {
        // The library logs to the process's target on the main thread, else to the thread's.
        previous_ =
            wxThread::IsMain() ? wxLog::SetActiveTarget(this) : wxLog::SetThreadActiveTarget(this);
    }
    ~ParseRecords() override {
        if (wxThread::IsMain())
            wxLog::SetActiveTarget(previous_);
        else
            wxLog::SetThreadActiveTarget(previous_);
        for (auto& [level, text] : records_) {
            text.Replace(L"file ''", L"file '" + path_ + L"'", false);
            ::LogRecord(level, __FILE__, __LINE__, __func__, L": %s", text);
        }
    }
    ParseRecords(const ParseRecords&) = delete;
    ParseRecords& operator=(const ParseRecords&) = delete;

protected:
    void DoLogRecord(wxLogLevel level, const wxString& text, const wxLogRecordInfo&) override {
        records_.emplace_back(level, text);
    }

private:
    wxString path_;
    wxLog* previous_ = nullptr;
    std::vector<std::pair<wxLogLevel, wxString>> records_;
};

// False, with the reason logged, when an existing regular file at file may not be written by
// us or has no write permission for anyone. A link in its place is replaced, never followed,
// so its target is not asked.
bool MayReplace(const std::filesystem::path& file, const wxString& path) {
    struct stat info {};
    if (lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return true;
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && access(file.c_str(), W_OK) == 0)
        return true;
    LOG_ERROR(L": %s is read-only and is not replaced", path);
    return false;
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
            LOG_ERROR(L": %s is larger than %d bytes and is not read", path,
                      static_cast<int>(platform::kIniFileCap));
        return SettingsFileStatus::Unreadable;
    }
    bytes = std::move(read.bytes);
    return SettingsFileStatus::Ok;
}

SettingsDocument::SettingsDocument(const std::string& file, const wxString& path) {
    // The mark is no part of the text: kept aside, written back in front.
    const std::string_view bytesView(file);
    if (bytesView.starts_with(kUtf8Bom))
        bom_ = kUtf8Bom;
    const std::string bytes(bytesView.substr(bom_.size()));
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
    {
        const ParseRecords records(path);
        wxMemoryInputStream stream(text.data(), text.size());
        config_ = std::make_unique<wxFileConfig>(stream, SettingsTextConverter());
    }
    std::string unchanged;
    faithful_ = Serialise(unchanged) && WithLineFeeds(unchanged) == WithLineFeeds(file);
}

bool SettingsDocument::Serialise(std::string& bytes) const {
    wxMemoryOutputStream stream;
    if (!config_->Save(stream, SettingsTextConverter()))
        return false;
    std::string saved(stream.GetSize(), '\0');
    stream.CopyTo(saved.data(), saved.size());
    bytes = bom_;
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
    return SettingsDocument(bytes, path);
}

bool WriteSettingsFile(const SettingsDocument& document, const wxString& path) {
    const auto file = platform::ToPath(path.ToStdWstring());
    if (!file)
        return false;
    if (!document.faithful()) {
        LOG_ERROR(L": %s was not read whole and faithfully and is not written", path);
        return false;
    }
    std::string bytes;
    return MayReplace(*file, path) && document.Serialise(bytes) &&
           platform::ReplaceFileAtomically(*file, bytes);
}
