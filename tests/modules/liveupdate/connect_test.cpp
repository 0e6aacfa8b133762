// Connect: the manifest is taken only when its signature verifies and every value in it is sound.
#include "tests/modules/liveupdate/loaded_live_update.h"

namespace testing_support {
namespace {

class ConnectTest : public LoadedLiveUpdate {
protected:
    // The served manifest and signature are refused, and the module says so.
    void ExpectRefused(const std::string& manifest, const std::string& signature) {
        WriteFile(releaseDir / "manifest.xml", manifest);
        WriteFile(releaseDir / "manifest.xml.sig", signature);
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(Connect("1.0"));
        EXPECT_NE(::testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(patch->GetVersion(), "");
    }
};

const std::string kSha = std::string(64, 'a');

TEST_F(ConnectTest, ReadsTheVersionsOfAVerifiedManifest) {
    Publish(ManifestXml("1.1", "1.2", StepXml("1.0", "1.1", Package("a.upd", "bytes"))));
    ASSERT_NE(Load(), nullptr);
    ASSERT_TRUE(Connect("1.0"));
    EXPECT_EQ(patch->GetVersion(), "1.1");
    EXPECT_EQ(patch->GetLVersion(), "1.2");
    EXPECT_EQ(patch->GetCurVersion(), "1.0");
    EXPECT_EQ(server->CountRequests("/manifest.xml"), 1);
    EXPECT_EQ(server->CountRequests("/manifest.xml.sig"), 1);
    EXPECT_EQ(server->CountRequests("/a.upd"), 0);
    EXPECT_FALSE(std::filesystem::exists(programDir / "temp"));
}

// An operator's cache buster stays on the manifest's address; the signature is beside the
// manifest's path, not behind its query.
TEST_F(ConnectTest, TakesTheSignatureFromTheManifestsPathWithItsQuery) {
    Publish(ManifestXml("1.1", "1.2", ""));
    ASSERT_NE(Load(), nullptr);
    for (const char* address : {"/manifest.xml?v=2", "/manifest.xml?v=2#top"}) {
        SCOPED_TRACE(address);
        const std::string url = server->Url(address);
        EXPECT_TRUE(patch->Connect(std::wstring(url.begin(), url.end()).c_str(), L"1.0"));
        EXPECT_EQ(patch->GetVersion(), "1.1");
    }
    EXPECT_EQ(server->CountRequests("/manifest.xml"), 2);
    EXPECT_EQ(server->CountRequests("/manifest.xml.sig"), 2);
}

// The launcher's version check tries three addresses within 15 s: a server that keeps the
// manifest coming, however slowly, does not hold the check for long.
TEST_F(ConnectTest, AManifestThatDoesNotEndIsGivenUpWithinItsLimit) {
    setenv("LIVEUPDATE_STALL_LIMIT_MS", "60000", 1); // only the whole-fetch limit ends it
    Publish(ManifestXml("1.1", "1.2", ""));
    ASSERT_TRUE(server->SetRules({"/manifest.xml=stall"}));
    ASSERT_NE(Load(), nullptr);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(Connect("1.0"));
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("manifest.xml not fetched: transfer took too long"), std::string::npos)
        << said;
}

TEST_F(ConnectTest, RefusesAManifestWhoseSignatureDoesNotVerify) {
    const std::string manifest = ManifestXml("1.1", "1.2", "");
    SigningKey otherKey;
    const struct {
        const char* what;
        std::string manifest;
        std::string signature;
    } cases[] = {
        {"signed by another key", manifest, otherKey.Sign(manifest)},
        {"changed after signing", ManifestXml("1.1", "1.3", ""), key.Sign(manifest)},
        {"signature cut short", manifest, key.Sign(manifest).substr(0, 63)},
        {"signature too long", manifest, key.Sign(manifest) + "x"},
        {"empty signature", manifest, ""},
    };
    ASSERT_NE(Load(), nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectRefused(c.manifest, c.signature);
    }
}

TEST_F(ConnectTest, FailsWhenTheServerDoesNotAnswerWithBothFiles) {
    ASSERT_NE(Load(), nullptr);
    EXPECT_FALSE(Connect("1.0")); // neither file
    Publish(ManifestXml("1.1", "1.2", ""));
    std::filesystem::remove(releaseDir / "manifest.xml.sig");
    EXPECT_FALSE(Connect("1.0"));
    EXPECT_EQ(server->CountRequests("/manifest.xml.sig"), 1);

    // A manifest over 1 MiB is refused before its signature is even fetched.
    Publish(ManifestXml("1.1", "1.2", "<!--" + std::string(1 << 20, '-') + "-->"));
    EXPECT_FALSE(Connect("1.0"));
    EXPECT_EQ(server->CountRequests("/manifest.xml.sig"), 1);

    Publish(ManifestXml("1.1", "1.2", ""));
    ASSERT_TRUE(server->SetRules({"/manifest.xml=404"}));
    EXPECT_FALSE(Connect("1.0"));
    EXPECT_FALSE(patch->Connect(nullptr, L"1.0"));
}

TEST_F(ConnectTest, RefusesASignedManifestWithUnsoundValues) {
    const auto package = [](const std::string& name, const std::string& size,
                            const std::string& sha) {
        return "<package name=\"" + name + "\" size=\"" + size + "\" sha256=\"" + sha + "\"/>";
    };
    const auto oneStep = [](const std::string& packages) {
        return ManifestXml("1.1", "1.2", StepXml("1.0", "1.1", packages));
    };
    const struct {
        const char* what;
        std::string manifest;
    } cases[] = {
        {"not XML", "<update game=\"1.1\" launcher=\"1.2\">"},
        {"no game version", "<update launcher=\"1.2\"/>"},
        {"empty launcher version", "<update game=\"1.1\" launcher=\"\"/>"},
        {"a line break in a version", "<update game=\"1.1&#10;x=1\" launcher=\"1.2\"/>"},
        {"a 65-byte version", ManifestXml(std::string(65, '1'), "1.2", "")},
        {"a step without from", ManifestXml("1.1", "1.2", "<step to=\"1.1\"/>")},
        {"two steps from one version",
         ManifestXml("1.1", "1.2", StepXml("1.0", "1.1", "") + StepXml("1.0", "1.2", ""))},
        {"a path in a name", oneStep(package("sub/a.upd", "1", kSha))},
        {"a parent in a name", oneStep(package("..\\a.upd", "1", kSha))},
        {"a space in a name", oneStep(package("a b.upd", "1", kSha))},
        {"a name ending otherwise", oneStep(package("a.zip", "1", kSha))},
        {"an upper-case ending", oneStep(package("a.UPD", "1", kSha))},
        {"a name of 129 bytes", oneStep(package(std::string(125, 'a') + ".upd", "1", kSha))},
        {"no size", oneStep(package("a.upd", "", kSha))},
        {"a size with a unit", oneStep(package("a.upd", "10k", kSha))},
        {"a size above 2^40", oneStep(package("a.upd", "1099511627777", kSha))},
        {"an upper-case digest", oneStep(package("a.upd", "1", std::string(64, 'A')))},
        {"a digest with a non-hex letter", oneStep(package("a.upd", "1", std::string(64, 'g')))},
    };
    ASSERT_NE(Load(), nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ExpectRefused(c.manifest, key.Sign(c.manifest));
    }
    // The limits themselves are allowed.
    Publish(oneStep(package(std::string(124, 'a') + ".tre", "1099511627776", kSha)));
    EXPECT_TRUE(Connect("1.0"));
}

} // namespace
} // namespace testing_support
