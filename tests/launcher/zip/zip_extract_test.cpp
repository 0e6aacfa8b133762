#include "launcher/zip/zip_directories.h"
#include "launcher/zip/zip_extract.h"
#include "launcher/zip/zip_reader.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_maker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

// Each case unpacks into <case>/pkg, with a sentinel file beside pkg that must stay untouched.
class ZipExtractTest : public testing::Test {
protected:
    fs::path NewCase() {
        const fs::path root = dir_ / ("case" + std::to_string(cases_++));
        fs::create_directories(root / "pkg");
        WriteFile(root / "sentinel.txt", "keep");
        return root;
    }

    // Extracts entry `index` of `archive` under its own sanitised name below root/pkg.
    static uint32_t Extract(const fs::path& root, const fs::path& archive, int32_t index = 0) {
        ZipHandle* handle = OpenZipFile(archive.wstring());
        if (handle == nullptr)
            return ZipErrOpen;
        SetZipBaseDir(handle, (root / "pkg").wstring());
        ZipEntry entry;
        uint32_t code = GetZipEntry(handle->reader, index, &entry);
        if (code == ZipOk)
            code = ExtractZipEntry(handle->reader, index, entry.name);
        CloseZipFile(handle);
        return code;
    }

    static void ExpectSentinelKept(const fs::path& root) {
        EXPECT_EQ(ReadFile(root / "sentinel.txt"), "keep");
    }

    TempDir dir_;
    int cases_ = 0;
};

TEST_F(ZipExtractTest, HostileNamesNeverLeaveTheBase) {
    struct Case {
        std::string name;
        uint32_t code;
        std::vector<std::string> written; // below pkg
    };
    const Case cases[] = {
        {"../x", ZipErrOpen, {}},
        {"a/../../x", ZipErrOpen, {}},
        {"..\\x", ZipErrOpen, {}},
        {"C:\\..\\x", ZipErrOpen, {}},
        {"..", ZipErrOpen, {}},
        {"sub/..", ZipErrOpen, {}},
        {"", ZipErrOpen, {}},
        {std::string("ok.txt\0/../../x", 15), ZipErrOpen, {}},
        {"bell\x07.txt", ZipErrOpen, {}},
        {"\x1b[2J.txt", ZipErrOpen, {}},
        {"\xff\xfe.txt", ZipErrOpen, {}}, // not UTF-8
        // Sanitising turns these into harmless names below the base.
        {"/abs/x", ZipOk, {"abs", "abs/x"}},
        {"C:x", ZipOk, {"x"}},
        {"C:\\dir\\..\\x", ZipOk, {"x"}},
        {"..\\..\\x", ZipOk, {"x"}},
        {"./x", ZipOk, {"x"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.name));
        const fs::path root = NewCase();
        WriteFile(root / "a.zip", RawZipBytes({StoredRawEntry(c.name, "evil")}));
        EXPECT_EQ(Extract(root, root / "a.zip"), c.code);
        ExpectSentinelKept(root);
        EXPECT_EQ(ListTree(root / "pkg"), c.written);
        std::vector<std::string> outside = ListTree(root);
        std::erase_if(outside, [](const std::string& p) { return p.starts_with("pkg"); });
        EXPECT_EQ(outside, (std::vector<std::string>{"a.zip", "sentinel.txt"}));
    }
    EXPECT_FALSE(fs::exists("/abs/x"));

    // A caller's target name is held to the same rules as an entry's name.
    const fs::path root = NewCase();
    MakeZip(root / "a.zip", {{.name = "a.txt", .data = "evil"}});
    ZipHandle* handle = OpenZipFile((root / "a.zip").wstring());
    ASSERT_NE(handle, nullptr);
    SetZipBaseDir(handle, (root / "pkg").wstring());
    for (const std::wstring& target : {(root / "abs.txt").wstring(), std::wstring(L"C:\\x"),
                                       std::wstring(L"../a.txt"), std::wstring(L"tab\there")})
        EXPECT_EQ(ExtractZipEntry(handle->reader, 0, target), ZipErrOpen);
    CloseZipFile(handle);
    EXPECT_EQ(ListTree(root), (std::vector<std::string>{"a.zip", "pkg", "sentinel.txt"}));
}

TEST_F(ZipExtractTest, SymbolicLinkEntriesAreRefused) {
    const fs::path root = NewCase();
    MakeZip(root / "a.zip", {{.name = "link",
                              .data = "../sentinel.txt",
                              .host = kZipHostUnix,
                              .externalAttributes = UnixAttributes(0120777)},
                             {.name = "link/inside.txt", .data = "fine"}});
    EXPECT_EQ(Extract(root, root / "a.zip", 0), ZipErrOpen);
    EXPECT_EQ(Extract(root, root / "a.zip", 1), ZipOk);
    ExpectSentinelKept(root);
    EXPECT_EQ(ListTree(root / "pkg"), (std::vector<std::string>{"link", "link/inside.txt"}));
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(root / "pkg/link")));
}

TEST_F(ZipExtractTest, ExistingLinksBelowTheBaseAreNotFollowed) {
    const fs::path root = NewCase();
    fs::create_directory_symlink(root, root / "pkg/dirlink");
    fs::create_symlink(root / "sentinel.txt", root / "pkg/filelink");
    MakeZip(root / "a.zip", {{.name = "dirlink/x.txt", .data = "evil"},
                             {.name = "dirlink/", .data = ""},
                             {.name = "dirlink/deeper/x.txt", .data = "evil"},
                             {.name = "filelink", .data = "replaced"}});
    EXPECT_EQ(Extract(root, root / "a.zip", 0), ZipErrOpen);
    EXPECT_EQ(Extract(root, root / "a.zip", 1), ZipErrOpen);
    EXPECT_EQ(Extract(root, root / "a.zip", 2), ZipErrOpen);
    EXPECT_FALSE(fs::exists(root / "x.txt"));
    EXPECT_FALSE(fs::exists(root / "deeper"));

    // The link itself is replaced by the entry; what it pointed to is untouched.
    EXPECT_EQ(Extract(root, root / "a.zip", 3), ZipOk);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(root / "pkg/filelink")));
    EXPECT_EQ(ReadFile(root / "pkg/filelink"), "replaced");
    ExpectSentinelKept(root);
}

TEST_F(ZipExtractTest, BadDataFailsAndKeepsTheOldFile) {
    const std::string data = "0123456789abcdefghij" + std::string(5000, 'q') + "tail";
    const std::string garbage(300, '\xA5');
    RawZipEntry brokenStream = StoredRawEntry("t.txt", garbage);
    brokenStream.method = 8;
    brokenStream.size = 1000;

    struct Case {
        const char* what;
        ZipMakerEntry entry;
    };
    const Case cases[] = {
        {"deflated longer than declared", {.name = "t.txt", .data = data, .declaredSize = 50}},
        {"deflated longer, CRC of the declared part",
         {.name = "t.txt",
          .data = data,
          .declaredSize = 50,
          .declaredCrc = Crc32(data.substr(0, 50))}},
        {"deflated shorter than declared",
         {.name = "t.txt", .data = data, .declaredSize = data.size() + 1}},
        {"deflated with a wrong CRC",
         {.name = "t.txt", .data = data, .declaredCrc = Crc32(data) ^ 1}},
        {"stored with a wrong CRC",
         {.name = "t.txt", .data = data, .deflate = false, .declaredCrc = Crc32(data) ^ 1}},
        {"stored longer than declared",
         {.name = "t.txt", .data = data, .deflate = false, .declaredSize = 50}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path root = NewCase();
        WriteFile(root / "pkg/t.txt", "old");
        MakeZip(root / "a.zip", {c.entry});
        EXPECT_EQ(Extract(root, root / "a.zip"), ZipErrData);
        EXPECT_EQ(ReadFile(root / "pkg/t.txt"), "old");
        EXPECT_EQ(ListTree(root / "pkg"), std::vector<std::string>{"t.txt"}); // no temporary left
    }

    const fs::path root = NewCase();
    WriteFile(root / "a.zip", RawZipBytes({brokenStream}));
    EXPECT_EQ(Extract(root, root / "a.zip"), ZipErrData);
    EXPECT_EQ(ListTree(root / "pkg"), std::vector<std::string>{});
}

TEST_F(ZipExtractTest, EncryptedEntriesAreRefused) {
    const fs::path root = NewCase();
    MakeZip(root / "a.zip",
            {{.name = "secret.txt", .data = "hidden text", .password = "pw"},
             {.name = "sub/secret.txt", .data = "hidden", .deflate = false, .password = "pw"}});
    EXPECT_EQ(Extract(root, root / "a.zip", 0), ZipErrEncrypted);
    EXPECT_EQ(Extract(root, root / "a.zip", 1), ZipErrEncrypted);
    EXPECT_EQ(ListTree(root / "pkg"), std::vector<std::string>{});
}

TEST_F(ZipExtractTest, ReadOnlyFileIsReplacedAndDirectoryInTheWayIsKept) {
    const fs::path root = NewCase();
    WriteFile(root / "pkg/ro.txt", "old");
    fs::permissions(root / "pkg/ro.txt", fs::perms::owner_read);
    WriteFile(root / "pkg/taken/child.txt", "child");
    MakeZip(root / "a.zip", {{.name = "ro.txt", .data = "new"}, {.name = "taken", .data = "x"}});

    EXPECT_EQ(Extract(root, root / "a.zip", 0), ZipOk);
    EXPECT_EQ(ReadFile(root / "pkg/ro.txt"), "new");
    EXPECT_EQ(Extract(root, root / "a.zip", 1), ZipErrOpen);
    EXPECT_EQ(ListTree(root / "pkg"),
              (std::vector<std::string>{"ro.txt", "taken", "taken/child.txt"}));
}

TEST_F(ZipExtractTest, CreateDirectoryPathStaysBelowItsBase) {
    const fs::path root = NewCase();
    fs::create_directory_symlink(root, root / "pkg/up");
    const std::wstring base = (root / "pkg/new base").wstring();
    EXPECT_TRUE(CreateDirectoryPath(base, L"a\\b/c"));
    EXPECT_TRUE(fs::is_directory(root / "pkg/new base/a/b/c"));
    EXPECT_FALSE(CreateDirectoryPath(base, L"../escape"));
    EXPECT_FALSE(CreateDirectoryPath((root / "pkg").wstring(), L"up/escape"));
    EXPECT_FALSE(fs::exists(root / "escape"));
    EXPECT_FALSE(fs::exists(root / "pkg/escape"));
}

} // namespace
