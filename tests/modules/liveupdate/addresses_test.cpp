// Where the signature and the packages of a release are, given the manifest's address; and the
// order of version texts.
#include "addresses.h"

#include <gtest/gtest.h>

#include "version_order.h"

namespace testing_support {
namespace {

TEST(AddressesTest, TheSignatureKeepsTheManifestsQueryAndThePackagesSitBesideIt) {
    const struct {
        const char* manifest;
        const char* signature;
        const char* directory;
    } cases[] = {
        {"http://h/game/manifest.xml", "http://h/game/manifest.xml.sig", "http://h/game/"},
        {"http://h/game/manifest.xml?v=2", "http://h/game/manifest.xml.sig?v=2", "http://h/game/"},
        {"http://h/game/manifest.xml?v=2#top", "http://h/game/manifest.xml.sig?v=2",
         "http://h/game/"},
        {"http://h/game/manifest.xml#top", "http://h/game/manifest.xml.sig", "http://h/game/"},
        {"https://h:8443/m.xml?a=1&b=/x/", "https://h:8443/m.xml.sig?a=1&b=/x/", "https://h:8443/"},
        {"http://h", "http://h.sig", "http://h/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.manifest);
        EXPECT_EQ(liveupdate::SignatureUrlOf(c.manifest), c.signature);
        EXPECT_EQ(liveupdate::DirectoryOf(c.manifest), c.directory);
    }
}

TEST(VersionOrderTest, ComparesSegmentsByTheirValue) {
    const struct {
        const char* a;
        const char* b;
        int order;
    } cases[] = {
        {"1.0", "2.0", -1},  {"1.9", "1.10", -1},
        {"1.10", "1.9", 1},  {"1", "1.0", 0},
        {"1.0.1", "1", 1},   {"01.2", "1.02", 0},
        {"1.0b", "1.0a", 1}, {"1.0a", "1.0", -1},
        {"2.0", "10.0", -1}, {"99999999999999999999", "100000000000000000000", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        const int order = liveupdate::CompareVersions(c.a, c.b);
        EXPECT_EQ((order > 0) - (order < 0), c.order);
    }
}

} // namespace
} // namespace testing_support
