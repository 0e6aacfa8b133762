#pragma once
// The one lock of the three settings objects (SetupConfig, VersionConfig, SettingConfig).
//
// Load and Save take it themselves. Code on a worker thread (the server-list worker, the update
// worker, the live-update callbacks) holds it while it reads or assigns fields, and may keep
// holding it across Save so that "assign, then save" is one step:
//
//     std::lock_guard lock(SettingsMutex());
//     SetupConfig::Instance()->ServerSid = sid;
//     SetupConfig::Instance()->Save();
//
// It is recursive because Save runs inside SetupConfig::Load and inside callers' locked blocks.
// The UI thread takes it too whenever a worker may be running. Never show a modal message box
// while holding it: the loop it runs would stall every worker that waits for the lock.
#include <mutex>

std::recursive_mutex& SettingsMutex();
