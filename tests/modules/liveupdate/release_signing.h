#pragma once
// What the operator's tools do to publish a release, done in the test with libcrypto: an Ed25519
// key pair, detached signatures and SHA-256 digests.
#include <string>
#include <string_view>

#include <openssl/types.h>

namespace testing_support {

class SigningKey {
public:
    SigningKey(); // a fresh key pair
    ~SigningKey();
    SigningKey(const SigningKey&) = delete;
    SigningKey& operator=(const SigningKey&) = delete;

    // The public key as "update.pub" holds it (PEM, SubjectPublicKeyInfo).
    std::string PublicPem() const;
    // The raw 64-byte signature of message.
    std::string Sign(std::string_view message) const;

private:
    EVP_PKEY* key_;
};

// Any public key as PEM (SubjectPublicKeyInfo).
std::string PublicKeyPem(EVP_PKEY* key);

// Lowercase hex.
std::string Sha256Hex(std::string_view bytes);

} // namespace testing_support
