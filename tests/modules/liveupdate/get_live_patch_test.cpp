// GetLivePatch offers an update only with a usable "update.pub" beside the module.
#include <sys/stat.h>

#include <openssl/evp.h>

#include "tests/modules/liveupdate/loaded_live_update.h"

namespace testing_support {
namespace {

using GetLivePatchTest = LoadedLiveUpdate;
using Path = std::filesystem::path;

std::string RsaPublicPem() {
    EVP_PKEY* rsa = EVP_PKEY_Q_keygen(nullptr, nullptr, "RSA", size_t{1024});
    const std::string pem = PublicKeyPem(rsa);
    EVP_PKEY_free(rsa);
    return pem;
}

TEST_F(GetLivePatchTest, GivesAnObjectWithTheKeyReachedDirectlyOrThroughALink) {
    ASSERT_NE(Load(), nullptr);

    TempDir elsewhere;
    WriteFile(elsewhere / "key.pem", key.PublicPem());
    std::filesystem::remove(programDir / "update.pub");
    std::filesystem::create_symlink(elsewhere / "key.pem", programDir / "update.pub");
    patch->Release();
    patch = nullptr;
    EXPECT_NE(Load(), nullptr);
}

TEST_F(GetLivePatchTest, OffersNothingWithoutAUsableKeyAndSaysWhy) {
    const struct {
        const char* what;
        std::function<void(const Path&)> make;
    } cases[] = {
        {"missing", [](const Path&) {}},
        {"empty", [](const Path& pub) { WriteFile(pub, ""); }},
        {"not PEM", [](const Path& pub) { WriteFile(pub, "update key\n"); }},
        {"an RSA key", [](const Path& pub) { WriteFile(pub, RsaPublicPem()); }},
        {"the key after 16 KiB of comment",
         [this](const Path& pub) {
             WriteFile(pub, std::string(16 * 1024, '#') + "\n" + key.PublicPem());
         }},
        {"a directory", [](const Path& pub) { std::filesystem::create_directory(pub); }},
        {"a FIFO", [](const Path& pub) { mkfifo(pub.c_str(), 0600); }},
        {"a link to /dev/zero",
         [](const Path& pub) { std::filesystem::create_symlink("/dev/zero", pub); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(programDir / "update.pub");
        c.make(programDir / "update.pub");
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(Load(), nullptr);
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find("update.pub"), std::string::npos) << said;
        EXPECT_NE(said.find("no update is offered"), std::string::npos) << said;
    }
}

} // namespace
} // namespace testing_support
