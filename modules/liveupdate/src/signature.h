#pragma once
// The operator's Ed25519 public key ("update.pub", PEM) and the check of the manifest's detached
// signature against it.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <openssl/types.h>

namespace liveupdate {

class PublicKey {
public:
    // The key in a PEM file (SubjectPublicKeyInfo) of at most a few KiB; null, with the reason in
    // `why`, when the file is missing, unreadable or holds no Ed25519 public key.
    static std::unique_ptr<PublicKey> Load(const std::filesystem::path& pemFile, std::string& why);
    ~PublicKey();
    PublicKey(const PublicKey&) = delete;
    PublicKey& operator=(const PublicKey&) = delete;

    // True exactly when signature is the 64-byte Ed25519 signature of message under this key.
    bool Verifies(std::string_view message, std::string_view signature) const;

private:
    explicit PublicKey(EVP_PKEY* key) : key_(key) {}
    EVP_PKEY* key_;
};

} // namespace liveupdate
