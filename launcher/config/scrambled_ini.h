#pragma once
// The decide-and-decode step of the ini readers ("Do.ini", "web.ini"). An ini file in which no
// section can be found is taken as scrambled: it is decoded with ScrambleKey into a copy named
// after it plus ".tmp" beside it, and the reader reads the copy, then removes it with
// RemoveIniCopy. A leftover copy of an earlier run is removed before decoding. Runs on the UI
// thread during start-up.
#include <string>

#include <wx/string.h>

#include "system/profile.h"

// The key scrambled configuration files are decoded with.
extern const wxString ScrambleKey;

// What happens to a leftover copy when the ini file itself does not exist.
enum class LeftoverCopy {
    Remove, // "Do.ini": the copy goes, and the missing file counts as scrambled
    Keep,   // "web.ini": nothing is touched and nothing is decoded
};

struct IniToRead {
    std::wstring path;            // full path of the file read: the ini file or its decoded copy
    bool copy = false;            // true when path is the decoded copy
    platform::ProfileFile values; // what path held; each file is read once per load
};

// Decides which file a reader of iniName (relative to the program directory) reads, decoding
// a scrambled file first, and reads it. When decoding fails the ini file itself is read (it
// yields no keys).
IniToRead PrepareIniToRead(const wchar_t* iniName, LeftoverCopy leftover);

// Removes the copy of iniName when it exists.
void RemoveIniCopy(const wchar_t* iniName);
