#pragma once
// Files whose failed copy does not fail an installation: modules that may be loaded while the
// launcher installs, so replacing them can fail without anything being wrong with the package.
#include <string_view>

#include <wx/string.h>

// Lower case, compared with the end of a lower-cased path.
inline constexpr std::wstring_view SkippedModuleList[] = {
    // Runtime libraries the launcher itself loads.
    L"msvcp140.dll",
    L"vcruntime140.dll",
    L"api-ms-win-crt-runtime-l1-1-0.dll",
    // The game client's own modules. A client still shutting down, or one the player started
    // again meanwhile, keeps them loaded; the next update brings them again.
    L"zel.dll",
    L"render.dll",
    L"sound.dll",
    L"network.dll",
    L"physics.dll",
    L"script.dll",
};

// True when the lower-cased path ends with a listed name. A plain suffix test: no separator is
// needed in front, so "xmsvcp140.dll" matches "msvcp140.dll" too.
bool IsSkippedModule(const wxString& lowerCasedPath);
