#pragma once
// Loading "resolution.ini" and "version.ini" at start-up. Older installations kept these
// values in "zel.ini" [Setup]; when a new file is missing it is created from those keys (or
// their defaults) first. UI thread, before any worker starts.

// Creates a missing "resolution.ini" from the legacy keys, then loads SettingConfig from it.
// The result is that of SettingConfig::Load.
bool LoadResolutionIni();

// Creates a missing "version.ini" from the legacy keys, then loads VersionConfig from it.
// The result is that of VersionConfig::Load.
bool LoadVersionIni();
