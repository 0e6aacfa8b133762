#pragma once
// The current user's registry, a file-backed store. The file is
// $LAUNCHER_REGISTRY_FILE when set, else $XDG_CONFIG_HOME/launcher/registry.ini
// (XDG_CONFIG_HOME defaulting to ~/.config). Keys are only opened, never created here;
// CreateRegistryKey exists for set-up (tests, installers).
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

struct RegistryValue {
    uint32_t type = 0;         // 1 = REG_SZ
    std::vector<uint8_t> data; // the bytes as stored, byte size = data.size()
};

class RegistryKey {
public:
    // Opens an existing key of the current user ("Software\\...\\Layers"); nullopt when missing.
    static std::optional<RegistryKey> Open(const std::wstring& path);
    static bool Create(const std::wstring& path);

    // REG_SZ: data is the UTF-16LE text as given, byteSize bytes of it (the caller counts the
    // terminator). False when the store cannot be written.
    bool SetString(const std::wstring& name, const std::wstring& text, uint32_t byteSize);
    std::optional<RegistryValue> Get(const std::wstring& name) const;
    std::optional<std::wstring> GetString(const std::wstring& name) const;

private:
    explicit RegistryKey(std::wstring path) : path_(std::move(path)) {}
    std::wstring path_;
};

} // namespace platform
