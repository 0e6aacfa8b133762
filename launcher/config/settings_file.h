#pragma once
// What the three settings objects share: their ini text goes through wxFileConfig with a UTF-8
// converter that keeps invalid bytes (legacy code-page files survive a rewrite byte for byte),
// files are read whole and written back through a temporary sibling and a rename.
#include <memory>
#include <optional>
#include <string>

#include <wx/fileconf.h>
#include <wx/string.h>

enum class SettingsFileStatus { Ok, Missing, Unreadable };

// UTF-8 for reading and writing; bytes that are not valid UTF-8 become private-use characters
// on reading and the same bytes again on writing.
const wxMBConv& SettingsTextConverter();

// The whole file. Missing only when it does not exist; a path that cannot be converted, a
// directory or a read error is Unreadable.
SettingsFileStatus ReadSettingsBytes(const wxString& path, std::string& bytes);

// A configuration with the layout of the text it came from. wxFileConfig alone would drop
// empty lines and turn CR LF into LF; Serialise puts both back, so every line that was not
// written keeps its bytes.
class SettingsDocument {
public:
    explicit SettingsDocument(const std::string& bytes);

    wxFileConfig& config() { return *config_; }
    // The whole text; false when the configuration could not be serialised.
    bool Serialise(std::string& bytes) const;

private:
    std::unique_ptr<wxFileConfig> config_;
    bool crlf_ = false;
    bool finalLineEnd_ = true;
};

// Reads a text value (environment variables expanded, as the library does by default) into
// field; an absent key leaves field as it was. True when the key was present.
bool ReadSettingText(const wxFileConfig& config, const wxString& key, wxString& field);

// Reads an integer as a flag: 0 is false, any other integer true. A value that is not an
// integer, or an absent key, leaves field as it was. Unlike the library's own flag reading it
// does not log a warning for values other than 0 and 1: older installations store "82".
bool ReadSettingFlag(const wxFileConfig& config, const wxString& key, bool& field);

// The configuration held by the file; nullopt when it cannot be read.
std::optional<SettingsDocument> OpenSettingsFile(const wxString& path);

// Replaces the file with the whole document: a crash leaves either the old file or the new
// one. False when anything failed; the file is then unchanged.
bool WriteSettingsFile(const SettingsDocument& document, const wxString& path);
