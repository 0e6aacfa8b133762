#include "system/registry.h"
#include "system/file_io.h"

#include "case_fold.h"
#include "system/file_operations.h"
#include "system/path.h"
#include "text_codec.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <pwd.h>
#include <unistd.h>

// The store is a UTF-8 text file, one record per line, fields separated by tabs:
//   key    <key path>
//   value  <key path>  <value name>  <type>  <data as hex>
// Names are percent-escaped where they hold '%' or control characters, so every record stays
// on its line. Unknown or malformed lines are skipped.

namespace platform {

namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kMaxValueBytes = 1u << 20; // far above any value the launcher stores

std::mutex storeMutex; // one load-modify-save at a time within this process

struct StoredValue {
    std::wstring key;
    std::wstring name;
    RegistryValue value;
};

struct Store {
    std::vector<std::wstring> keys;
    std::vector<StoredValue> values;
};

std::filesystem::path StorePath() {
    if (const char* file = std::getenv("LAUNCHER_REGISTRY_FILE"); file && *file)
        return file;
    std::filesystem::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        config = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || *home == '\0') {
            const passwd* user = getpwuid(getuid());
            home = user ? user->pw_dir : "/";
        }
        config = std::filesystem::path(home) / ".config";
    }
    return config / "launcher" / "registry.ini";
}

// Key paths compare without surrounding backslashes: "Software\\A\\" is "Software\\A".
std::wstring CanonicalKey(std::wstring_view path) {
    const size_t first = path.find_first_not_of(L'\\');
    if (first == std::wstring_view::npos)
        return {};
    return std::wstring(path.substr(first, path.find_last_not_of(L'\\') - first + 1));
}

std::string Escape(std::wstring_view text) {
    const std::string utf8 = WideToUtf8(text).value_or(std::string());
    std::string out;
    for (const char byte : utf8) {
        const auto c = static_cast<unsigned char>(byte);
        if (c == '%' || c < 0x20 || c == 0x7F) {
            static const char kHex[] = "0123456789ABCDEF";
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::wstring> Unescape(std::string_view text) {
    std::string utf8;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            utf8 += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = HexDigit(text[i + 1]);
        const int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        utf8 += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return Utf8ToWide(utf8);
}

std::string ToHex(const std::vector<uint8_t>& data) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(data.size() * 2);
    for (uint8_t byte : data) {
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
    }
    return out;
}

std::optional<std::vector<uint8_t>> FromHex(std::string_view text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::vector<uint8_t> data;
    data.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        data.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return data;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (true) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

bool HasKey(const Store& store, std::wstring_view key) {
    for (const std::wstring& existing : store.keys) {
        if (detail::EqualsIgnoringCase(existing, key))
            return true;
    }
    return false;
}

void AddKeyWithParents(Store& store, const std::wstring& key) {
    for (size_t end = key.find(L'\\');; end = key.find(L'\\', end + 1)) {
        const std::wstring prefix = CanonicalKey(key.substr(0, end));
        if (!prefix.empty() && !HasKey(store, prefix))
            store.keys.push_back(prefix);
        if (end == std::wstring::npos)
            return;
    }
}

void ParseLine(Store& store, std::string_view line) {
    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields.size() == 2 && fields[0] == "key") {
        if (const auto key = Unescape(fields[1]); key && !key->empty())
            AddKeyWithParents(store, CanonicalKey(*key));
    } else if (fields.size() == 5 && fields[0] == "value") {
        const auto key = Unescape(fields[1]);
        const auto name = Unescape(fields[2]);
        auto data = FromHex(fields[4]);
        uint32_t type = 0;
        for (char c : fields[3])
            type = (c >= '0' && c <= '9' && type < 100000000)
                       ? type * 10 + static_cast<uint32_t>(c - '0')
                       : UINT32_MAX;
        if (!key || key->empty() || !name || !data || fields[3].empty() || type == UINT32_MAX)
            return;
        AddKeyWithParents(store, CanonicalKey(*key));
        store.values.push_back({CanonicalKey(*key), *name, {type, std::move(*data)}});
    }
}

// nullopt when the store exists but cannot be read; a missing store is empty.
std::optional<Store> LoadStore() {
    const std::filesystem::path path = StorePath();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? std::optional<Store>(Store{}) : std::nullopt;
    const std::optional<std::string> read = ReadToEnd(fd);
    close(fd);
    if (!read)
        return std::nullopt;
    const std::string& bytes = *read;
    Store store;
    for (size_t start = 0; start < bytes.size();) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        ParseLine(store, std::string_view(bytes).substr(start, end - start));
        start = end + 1;
    }
    return store;
}

bool SaveStore(const Store& store) {
    std::string text = "launcher-registry\t1\n";
    for (const std::wstring& key : store.keys)
        text += "key\t" + Escape(key) + "\n";
    for (const StoredValue& entry : store.values) {
        text += "value\t" + Escape(entry.key) + "\t" + Escape(entry.name) + "\t" +
                std::to_string(entry.value.type) + "\t" + ToHex(entry.value.data) + "\n";
    }
    const std::filesystem::path path = StorePath();
    std::error_code ignored;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), ignored);
    return ReplaceFileAtomically(path, text);
}

const StoredValue* FindValue(const Store& store, std::wstring_view key, std::wstring_view name) {
    for (const StoredValue& entry : store.values) {
        if (detail::EqualsIgnoringCase(entry.key, key) &&
            detail::EqualsIgnoringCase(entry.name, name))
            return &entry;
    }
    return nullptr;
}

} // namespace

std::optional<RegistryKey> RegistryKey::Open(const std::wstring& path) {
    const std::wstring key = CanonicalKey(path);
    if (key.empty())
        return std::nullopt;
    std::lock_guard lock(storeMutex);
    const auto store = LoadStore();
    if (!store || !HasKey(*store, key))
        return std::nullopt;
    return RegistryKey(key);
}

bool RegistryKey::Create(const std::wstring& path) {
    const std::wstring key = CanonicalKey(path);
    if (key.empty() || !WideToUtf8(key))
        return false;
    std::lock_guard lock(storeMutex);
    auto store = LoadStore();
    if (!store)
        return false;
    if (HasKey(*store, key))
        return true;
    AddKeyWithParents(*store, key);
    return SaveStore(*store);
}

bool RegistryKey::SetString(const std::wstring& name, const std::wstring& text, uint32_t byteSize) {
    auto units = detail::EncodeUtf16Le(text);
    if (!units || !WideToUtf8(name) || byteSize > kMaxValueBytes)
        return false;
    // The text's units, its terminator, then zeros for a byte size beyond them.
    std::vector<uint8_t> data(units->begin(), units->end());
    data.resize(byteSize, 0);
    std::lock_guard lock(storeMutex);
    auto store = LoadStore();
    if (!store)
        return false;
    AddKeyWithParents(*store, path_);
    for (StoredValue& entry : store->values) {
        if (detail::EqualsIgnoringCase(entry.key, path_) &&
            detail::EqualsIgnoringCase(entry.name, name)) {
            entry.value = {kRegSz, std::move(data)};
            return SaveStore(*store);
        }
    }
    store->values.push_back({path_, name, {kRegSz, std::move(data)}});
    return SaveStore(*store);
}

std::optional<RegistryValue> RegistryKey::Get(const std::wstring& name) const {
    std::lock_guard lock(storeMutex);
    const auto store = LoadStore();
    if (!store)
        return std::nullopt;
    const StoredValue* entry = FindValue(*store, path_, name);
    return entry ? std::optional<RegistryValue>(entry->value) : std::nullopt;
}

std::optional<std::wstring> RegistryKey::GetString(const std::wstring& name) const {
    const auto value = Get(name);
    if (!value || (value->type != kRegSz && value->type != kRegExpandSz))
        return std::nullopt;
    const std::string_view bytes(reinterpret_cast<const char*>(value->data.data()),
                                 value->data.size());
    return detail::DecodeUtf16LeString(bytes);
}

} // namespace platform
