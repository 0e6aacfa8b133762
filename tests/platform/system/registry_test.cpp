#include "system/registry.h"
#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <gtest/gtest.h>

namespace {

using platform::RegistryKey;
using Bytes = std::vector<uint8_t>;

constexpr const wchar_t* kLayers = L"Software\\Vendor\\Compatibility\\Settings\\Layers";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { setenv("LAUNCHER_REGISTRY_FILE", store_.c_str(), 1); }

    testing_support::TempDir dir_;
    std::filesystem::path store_ = dir_ / "config/registry.ini";
};

TEST_F(RegistryTest, KeysOpenOnlyOnceCreatedWhateverTheCase) {
    EXPECT_FALSE(RegistryKey::Open(kLayers));
    EXPECT_FALSE(std::filesystem::exists(store_)); // opening never creates
    ASSERT_TRUE(RegistryKey::Create(kLayers));
    EXPECT_TRUE(RegistryKey::Open(L"software\\VENDOR\\compatibility\\SETTINGS\\layers\\"));
    EXPECT_TRUE(RegistryKey::Open(L"Software\\Vendor")); // parents exist with it
    EXPECT_FALSE(RegistryKey::Open(L"Software\\Vend"));
}

TEST_F(RegistryTest, StringsKeepTheByteSizeTheyWereSetWith) {
    ASSERT_TRUE(RegistryKey::Create(kLayers));
    ASSERT_TRUE(RegistryKey::Create(L"Software\\Other"));
    const std::wstring program = L"/games/\u670D\u52A1\u5668/launcher";
    ASSERT_TRUE(RegistryKey::Open(kLayers)->SetString(program, L"first", 12));
    ASSERT_TRUE(RegistryKey::Open(L"Software\\Other")->SetString(program, L"other", 12));
    ASSERT_TRUE(RegistryKey::Open(kLayers)->SetString(program, L"~ ", 6)); // replaces
    ASSERT_TRUE(RegistryKey::Open(kLayers)->SetString(L"short", L"abc", 4));
    ASSERT_TRUE(RegistryKey::Open(kLayers)->SetString(L"padded", L"ab", 8));
    ASSERT_TRUE(RegistryKey::Open(kLayers)->SetString(L"emoji", L"\U0001F600", 6));

    const auto key = RegistryKey::Open(kLayers); // a fresh handle reads what is stored
    ASSERT_TRUE(key);
    EXPECT_EQ(key->Get(program)->type, 1u);
    EXPECT_EQ(key->Get(program)->data, (Bytes{'~', 0, ' ', 0, 0, 0}));
    EXPECT_EQ(key->GetString(program), L"~ ");
    EXPECT_EQ(key->Get(L"SHORT")->data, (Bytes{'a', 0, 'b', 0})); // cut inside the text
    EXPECT_EQ(key->GetString(L"short"), L"ab");
    EXPECT_EQ(key->Get(L"padded")->data, (Bytes{'a', 0, 'b', 0, 0, 0, 0, 0}));
    EXPECT_EQ(key->GetString(L"padded"), L"ab");
    EXPECT_EQ(key->Get(L"emoji")->data, (Bytes{0x3D, 0xD8, 0x00, 0xDE, 0, 0}));
    EXPECT_EQ(key->GetString(L"emoji"), L"\U0001F600");
    EXPECT_EQ(RegistryKey::Open(L"software\\other")->GetString(program), L"other");
    EXPECT_FALSE(key->Get(L"missing"));
}

} // namespace
