#pragma once
// Files in the program directory as the ini readers name them: the directory the UI library
// reports (ending in "/") followed by a file name.
#include <string>

#include <wx/string.h>

#include "system/profile.h"

// The program directory followed by name.
std::wstring ProgramFile(const wchar_t* name);

// True when path names an existing regular file (after following links).
bool IsExistingFile(const std::wstring& path);

// Removes the file when it exists; a path that cannot be converted is left alone.
void RemoveFileIfPresent(const std::wstring& path);

// The value of [section] key of a private-profile ini file, read as into a 255-character
// buffer: at most 254 characters, fallback when the file or key is missing, "" when the key is
// present but empty.
wxString ReadIniText(const platform::ProfileFile& ini, const wchar_t* section, const wchar_t* key,
                     const wxString& fallback);
