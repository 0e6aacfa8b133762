#pragma once
// The window title and logo from "web.ini" group "Setting", read at start-up before the main
// window exists. UI thread.
#include <wx/string.h>

inline constexpr const wchar_t* DefaultAppTitle = L"Tavi游戏";
inline constexpr const wchar_t* DefaultLogo = L"Tavi.png";
inline constexpr int DefaultLogoWidth = 238;
inline constexpr int DefaultLogoHeight = 152;

struct WebIniSetting {
    bool present = false; // false: no "web.ini"; keep the default title, leave the logo alone
    wxString title = DefaultAppTitle;
    wxString logo = DefaultLogo;
    int logoWidth = DefaultLogoWidth;
    int logoHeight = DefaultLogoHeight;
};

// Reads [Setting] of "web.ini", decoding a scrambled file into "web.ini.tmp" first. The copy is
// left in place: call DeleteWebIniCopy once the main window has been created.
WebIniSetting ReadWebIniSetting();

// Removes "web.ini.tmp" when it exists. Call it only when ReadWebIniSetting reported the file
// present: without "web.ini" a stray copy is not this reader's to remove.
void DeleteWebIniCopy();
