#include "system/registry.h"
#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using platform::RegistryKey;
using testing_support::ReadFile;
using testing_support::TempDir;

constexpr const wchar_t* kLayers = L"Software\\Vendor\\Compatibility\\Settings\\Layers";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("LAUNCHER_REGISTRY_FILE", store_.c_str(), 1); }

    TempDir dir_;
    std::filesystem::path store_ = dir_ / "config/registry.ini";
};

TEST_F(RegistryTest, KeysAreOpenedOnlyAfterSomeoneCreatedThem) {
    EXPECT_FALSE(RegistryKey::Open(kLayers));
    EXPECT_FALSE(std::filesystem::exists(store_)); // opening never creates

    ASSERT_TRUE(RegistryKey::Create(kLayers));
    EXPECT_TRUE(RegistryKey::Open(kLayers));
    EXPECT_TRUE(RegistryKey::Open(L"software\\VENDOR\\compatibility\\SETTINGS\\layers\\"));
    EXPECT_TRUE(RegistryKey::Open(L"Software\\Vendor")); // parents exist with it
    EXPECT_FALSE(RegistryKey::Open(L"Software\\Vend"));
    EXPECT_FALSE(RegistryKey::Open(L""));
    EXPECT_TRUE(RegistryKey::Create(kLayers)); // creating twice is fine
}

TEST_F(RegistryTest, StringsKeepTheirExactBytesAndSize) {
    ASSERT_TRUE(RegistryKey::Create(kLayers));
    auto key = RegistryKey::Open(kLayers);
    ASSERT_TRUE(key);
    const std::wstring program = L"/games/\u670D\u52A1\u5668/launcher";
    ASSERT_TRUE(key->SetString(program, L"~ ", 6));
    ASSERT_TRUE(key->SetString(L"short", L"abc", 4));        // cut inside the text
    ASSERT_TRUE(key->SetString(L"padded", L"ab", 10));       // beyond the terminator
    ASSERT_TRUE(key->SetString(L"emoji", L"\U0001F600", 6)); // a surrogate pair

    // A fresh handle reads what is on disk.
    const auto again = RegistryKey::Open(kLayers);
    ASSERT_TRUE(again);
    const auto value = again->Get(program);
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, 1u);
    EXPECT_EQ(value->data, (std::vector<uint8_t>{'~', 0, ' ', 0, 0, 0}));
    EXPECT_EQ(again->GetString(program), L"~ ");

    EXPECT_EQ(again->Get(L"short")->data, (std::vector<uint8_t>{'a', 0, 'b', 0}));
    EXPECT_EQ(again->GetString(L"short"), L"ab");
    EXPECT_EQ(again->Get(L"padded")->data.size(), 10u);
    EXPECT_EQ(again->GetString(L"padded"), L"ab");
    EXPECT_EQ(again->Get(L"emoji")->data, (std::vector<uint8_t>{0x3D, 0xD8, 0x00, 0xDE, 0, 0}));
    EXPECT_EQ(again->GetString(L"EMOJI"), L"\U0001F600");
    EXPECT_FALSE(again->Get(L"missing"));
}

TEST_F(RegistryTest, SettingAgainReplacesTheValueAndKeepsOthers) {
    ASSERT_TRUE(RegistryKey::Create(kLayers));
    ASSERT_TRUE(RegistryKey::Create(L"Software\\Other"));
    auto layers = RegistryKey::Open(kLayers);
    auto other = RegistryKey::Open(L"Software\\Other");
    ASSERT_TRUE(layers && other);
    ASSERT_TRUE(layers->SetString(L"Name", L"first", 12));
    ASSERT_TRUE(other->SetString(L"name", L"elsewhere", 20));
    ASSERT_TRUE(layers->SetString(L"NAME", L"~ RUNASADMIN", 26));
    EXPECT_EQ(layers->GetString(L"name"), L"~ RUNASADMIN");
    EXPECT_EQ(layers->Get(L"name")->data.size(), 26u);
    EXPECT_EQ(other->GetString(L"Name"), L"elsewhere");
    // One record per value: the store did not grow a duplicate.
    const std::string text = ReadFile(store_);
    size_t records = 0;
    for (size_t at = text.find("\nvalue\t"); at != std::string::npos;
         at = text.find("\nvalue\t", at + 1))
        ++records;
    EXPECT_EQ(records, 2u);
}

TEST_F(RegistryTest, NamesWithTabsAndNewlinesSurviveTheTextFormat) {
    const std::wstring odd = L"Software\\odd\tname\nwith %41 escapes";
    ASSERT_TRUE(RegistryKey::Create(odd));
    auto key = RegistryKey::Open(odd);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->SetString(L"value\r\nname\t%", L"x", 4));
    EXPECT_EQ(RegistryKey::Open(odd)->GetString(L"value\r\nname\t%"), L"x");
    EXPECT_FALSE(RegistryKey::Open(L"Software\\odd")); // never confused with a prefix
}

TEST_F(RegistryTest, MalformedLinesAreSkipped) {
    testing_support::WriteFile(store_, "launcher-registry\t1\n"
                                       "garbage line\n"
                                       "key\tSoftware\\Good\n"
                                       "value\tSoftware\\Good\tbad\t1\t7e0\n" // odd hex
                                       "value\tSoftware\\Good\tok\t1\t7e002000\n"
                                       "value\tSoftware\\Good\tbadtype\tx\t00\n"
                                       "key\t%zz\n");
    auto key = RegistryKey::Open(L"Software\\Good");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->GetString(L"ok"), L"~ ");
    EXPECT_FALSE(key->Get(L"bad"));
    EXPECT_FALSE(key->Get(L"badtype"));
}

TEST(RegistryLocationTest, FollowsXdgConfigHome) {
    TempDir dir;
    unsetenv("LAUNCHER_REGISTRY_FILE");
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    ASSERT_TRUE(RegistryKey::Create(L"Software\\Example"));
    EXPECT_TRUE(std::filesystem::exists(dir / "launcher/registry.ini"));
}

} // namespace
