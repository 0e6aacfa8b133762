// The module's records as the launcher's sink receives them: the same words on every try of one
// failure (so the launcher can count repeats), saying what was refused and why.
#include <dlfcn.h>

#include "tests/modules/liveupdate/loaded_live_update.h"

namespace testing_support {
namespace {

using Strings = std::vector<std::string>;

class LogSinkTest : public LoadedLiveUpdate {
protected:
    void SetUp() override {
        LoadedLiveUpdate::SetUp();
        lines.clear();
        ASSERT_NE(Load(), nullptr);
        setSink = reinterpret_cast<SetLiveUpdateLogSinkFunction>(
            dlsym(module, kSetLiveUpdateLogSinkName));
        ASSERT_NE(setSink, nullptr);
    }
    void TearDown() override {
        if (setSink != nullptr)
            setSink(nullptr);
        LoadedLiveUpdate::TearDown();
    }
    static void Record(const char* text) { lines.emplace_back(text); }
    static size_t Count(const std::string& all, const std::string& part) {
        size_t count = 0;
        for (size_t at = all.find(part); at != std::string::npos; at = all.find(part, at + 1))
            ++count;
        return count;
    }

    SetLiveUpdateLogSinkFunction setSink = nullptr;
    static inline Strings lines;
};

TEST_F(LogSinkTest, GetsEveryRecordWhileAttachedAndStandardErrorGetsThemAll) {
    const std::string record =
        "LiveUpdate: manifest.xml not fetched: HTTP status 404 (" + ManifestUrl() + ")";
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(Connect("1.0")); // no sink yet
    setSink(Record);
    EXPECT_FALSE(Connect("1.0"));
    setSink(Record); // attached again after a reload: nothing changes
    EXPECT_FALSE(Connect("1.0"));
    setSink(nullptr);
    EXPECT_FALSE(Connect("1.0"));
    EXPECT_EQ(Count(::testing::internal::GetCapturedStderr(), record), 4u);
    EXPECT_EQ(lines, (Strings{record, record}));
}

// The routine's detail names how long the connect took: a record that changed with it would be
// new on every try.
TEST_F(LogSinkTest, AServerThatIsDownIsOneRecordWhateverEachTryTook) {
    const std::wstring closedPort = L"http://127.0.0.1:1/manifest.xml";
    setSink(Record);
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(patch->Connect(closedPort.c_str(), L"1.0"));
    ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], lines[0]);
    EXPECT_EQ(lines[2], lines[0]);
    EXPECT_TRUE(lines[0].starts_with("LiveUpdate: manifest.xml not fetched: cannot connect: "))
        << lines[0];
    EXPECT_TRUE(lines[0].ends_with("(http://127.0.0.1:1/manifest.xml)")) << lines[0];
    EXPECT_EQ(lines[0].find(" ms"), std::string::npos) << lines[0];
}

TEST_F(LogSinkTest, ARefusedPackageIsNamedWithItsAddressSizesAndDigests) {
    const std::string good = PackageBytes("good");
    const std::string wrong = PackageBytes("gooe");
    Publish(ManifestXml("1.1", "1.0",
                        StepXml("1.0", "1.1", Package("a.upd", good) + Package("b.upd", good))));
    WriteFile(releaseDir / "a.upd", wrong);
    std::filesystem::remove(releaseDir / "b.upd");
    setSink(Record);
    ASSERT_TRUE(Connect("1.0"));
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(patch->StartUpdate("1.0", "1.0"));
    EXPECT_FALSE(patch->StartUpdate("1.0", "1.0"));
    ::testing::internal::GetCapturedStderr();
    const std::string url = server->Url("/a.upd");
    const std::string size = std::to_string(good.size());
    const std::string mismatch = "LiveUpdate: a.upd from " + url + " refused: the manifest gives " +
                                 size + " bytes, SHA-256 " + Sha256Hex(good).substr(0, 12) +
                                 "..., the server sent " + size + " bytes, SHA-256 " +
                                 Sha256Hex(wrong).substr(0, 12) + "...";
    // Fetched twice in the first try, not at all in the second.
    EXPECT_EQ(lines, (Strings{mismatch, mismatch,
                              "LiveUpdate: a.upd from " + url +
                                  " refused: it failed its size or SHA-256 check 2 times in this "
                                  "run and is not fetched again"}));

    // A package the server does not have is named with the server's answer.
    lines.clear();
    WriteFile(releaseDir / "a.upd", good);
    Publish(ManifestXml("1.1", "1.0",
                        StepXml("1.0", "1.1", Package("c.upd", good) + Package("b.upd", good))));
    std::filesystem::remove(releaseDir / "b.upd");
    ASSERT_TRUE(Connect("1.0"));
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(patch->StartUpdate("1.0", "1.0"));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(lines, Strings{"LiveUpdate: b.upd not fetched: HTTP status 404 (" +
                             server->Url("/b.upd") + ")"});
}

} // namespace
} // namespace testing_support
