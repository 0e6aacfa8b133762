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
// empty lines, a UTF-8 byte-order mark and turn CR LF into LF; Serialise puts them back, so
// every line that was not written keeps its bytes. The ini library's records about the text
// name path and go to the log.
class SettingsDocument {
public:
    SettingsDocument(const std::string& bytes, const wxString& path);

    wxFileConfig& config() { return *config_; }
    // The whole text; false when the configuration could not be serialised.
    bool Serialise(std::string& bytes) const;
    // True when the text came through the configuration whole: serialised unchanged it gives
    // the same bytes, up to the line ends of a file that mixes CR LF and LF. A text that did
    // not (a NUL byte, a lone CR) must never be written back.
    bool faithful() const { return faithful_; }

private:
    std::unique_ptr<wxFileConfig> config_;
    std::string bom_;
    bool crlf_ = false;
    bool finalLineEnd_ = true;
    bool faithful_ = false;
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
// one. A document that was not read faithfully, or a file we may not write (no write
// permission for us, or none for anyone: the read-only attribute), is not replaced and the
// reason is logged. False when anything failed; the file is then unchanged.
bool WriteSettingsFile(const SettingsDocument& document, const wxString& path);
