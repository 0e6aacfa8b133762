#include "signature.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include "bounded_read.h"

namespace liveupdate {

namespace {

constexpr std::uint64_t kMaxKeyFileBytes = 16 * 1024;
constexpr size_t kSignatureBytes = 64;

} // namespace

PublicKey::~PublicKey() {
    EVP_PKEY_free(key_);
}

std::unique_ptr<PublicKey> PublicKey::Load(const std::filesystem::path& pemFile, std::string& why) {
    const std::optional<std::string> pem = ReadBoundedFile(pemFile, kMaxKeyFileBytes, why);
    if (!pem)
        return nullptr;
    BIO* bio = BIO_new_mem_buf(pem->data(), static_cast<int>(pem->size()));
    EVP_PKEY* pkey = bio ? PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr) : nullptr;
    BIO_free(bio);
    if (pkey == nullptr || EVP_PKEY_get_id(pkey) != EVP_PKEY_ED25519) {
        EVP_PKEY_free(pkey);
        why = pemFile.string() + " holds no Ed25519 public key";
        return nullptr;
    }
    return std::unique_ptr<PublicKey>(new PublicKey(pkey));
}

bool PublicKey::Verifies(std::string_view message, std::string_view signature) const {
    if (signature.size() != kSignatureBytes)
        return false;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    // Ed25519 hashes internally, so no digest is named and the message goes in one call.
    const bool verified =
        context != nullptr && EVP_DigestVerifyInit(context, nullptr, nullptr, nullptr, key_) == 1 &&
        EVP_DigestVerify(context, reinterpret_cast<const unsigned char*>(signature.data()),
                         signature.size(), reinterpret_cast<const unsigned char*>(message.data()),
                         message.size()) == 1;
    EVP_MD_CTX_free(context);
    return verified;
}

} // namespace liveupdate
