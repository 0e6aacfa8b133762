#include "tests/modules/liveupdate/release_signing.h"

#include <stdexcept>

#include <openssl/evp.h>
#include <openssl/pem.h>

namespace testing_support {

SigningKey::SigningKey() : key_(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519")) {
    if (key_ == nullptr)
        throw std::runtime_error("Ed25519 key generation failed");
}

SigningKey::~SigningKey() {
    EVP_PKEY_free(key_);
}

std::string SigningKey::PublicPem() const {
    return PublicKeyPem(key_);
}

std::string SigningKey::Sign(std::string_view message) const {
    std::string signature(64, '\0');
    size_t size = signature.size();
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    const bool signed_ =
        EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key_) == 1 &&
        EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &size,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
    EVP_MD_CTX_free(context);
    if (!signed_ || size != 64)
        throw std::runtime_error("Ed25519 signing failed");
    return signature;
}

std::string PublicKeyPem(EVP_PKEY* key) {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PUBKEY(bio, key);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::string pem(data, static_cast<size_t>(size));
    BIO_free(bio);
    return pem;
}

std::string Sha256Hex(std::string_view bytes) {
    unsigned char digest[32];
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 0xF];
    }
    return hex;
}

} // namespace testing_support
