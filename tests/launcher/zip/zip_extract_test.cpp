// Extracting single entries below a base directory. Every case runs in its own directory
// <case>/pkg, with a sentinel beside pkg that no archive may reach.
#include "launcher/zip/zip_extract.h"
#include "launcher/zip/zip_reader.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_maker.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;
namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

class ZipExtractTest : public testing::Test {
protected:
    // A new case directory holding pkg/, sentinel.txt and a.zip made of `archive`.
    fs::path NewCase(const std::string& archive) {
        const fs::path root = dir_ / ("case" + std::to_string(cases_++));
        fs::create_directories(root / "pkg");
        WriteFile(root / "sentinel.txt", "keep");
        WriteFile(root / "a.zip", archive);
        return root;
    }

    // Extracts entry `index` of root/a.zip below root/pkg under `target`, by default the
    // entry's own name.
    static uint32_t Extract(const fs::path& root, int32_t index = 0, std::wstring target = L"") {
        ZipHandle* handle = OpenZipFile((root / "a.zip").wstring());
        if (handle == nullptr)
            return ZipErrOpen;
        SetZipBaseDir(handle, (root / "pkg").wstring());
        ZipEntry entry;
        uint32_t code = GetZipEntry(handle->reader, index, &entry);
        if (code == ZipOk)
            code = ExtractZipEntry(handle->reader, index, target.empty() ? entry.name : target);
        CloseZipFile(handle);
        return code;
    }

    TempDir dir_;
    int cases_ = 0;
};

TEST_F(ZipExtractTest, HostileArchivesWriteNothingAndNamesAreSanitisedBelowTheBase) {
    const auto one = [](const ZipMakerEntry& entry) { return ZipBytes({entry}); };
    const auto named = [&](std::string name) {
        return one({.name = std::move(name), .data = "x"});
    };
    const std::string data = "0123456789abcdefghij" + std::string(5000, 'q') + "tail";
    const auto sized = [&](bool deflate, uint64_t size, uint32_t crc) {
        return one({.name = "t.txt",
                    .data = data,
                    .deflate = deflate,
                    .declaredSize = size,
                    .declaredCrc = crc});
    };
    std::string brokenStream = one({.name = "t.txt", .data = data});
    brokenStream[35] = '\xff'; // the first deflate block gets the reserved type
    std::string disagreeing = named("t.txt");
    disagreeing[14] ^= 0x55; // the local header's CRC
    std::string extraPastEnd = one({.name = "t.txt", .localExtra = "1234"});
    extraPastEnd[28] = extraPastEnd[29] = '\xff';
    const std::string whole = ZipBytes({{.name = "a.txt", .data = data}, {.name = "b.txt"}});
    const auto link = one({.name = "t.txt",
                           .data = "../sentinel.txt",
                           .host = kZipHostUnix,
                           .externalAttributes = UnixAttributes(0120777)});

    const struct {
        const char* what;
        std::string archive;
        uint32_t code;
        Paths written = {"t.txt"}; // below pkg, where t.txt was before
    } cases[] = {
        {"../x", named("../x"), ZipErrOpen},
        {"C:\\..\\x", named("C:\\..\\x"), ZipErrOpen},
        {"..", named(".."), ZipErrOpen},
        {"empty name", named(""), ZipErrOpen},
        {"NUL in the name", named(std::string("ok.txt\0/../../x", 15)), ZipErrOpen},
        {"control character", named("bell\x07.txt"), ZipErrOpen},
        {"symbolic link", link, ZipErrOpen},
        {"longer than declared", sized(true, 50, Crc32(data)), ZipErrData},
        {"longer, CRC of the declared part", sized(true, 50, Crc32(data.substr(0, 50))),
         ZipErrData},
        {"shorter than declared", sized(true, data.size() + 1, Crc32(data)), ZipErrData},
        {"stored, longer than declared", sized(false, 50, Crc32(data)), ZipErrData},
        {"stored, wrong CRC", sized(false, data.size(), Crc32(data) ^ 1), ZipErrData},
        {"broken deflate stream", brokenStream, ZipErrData},
        {"encrypted", one({.name = "t.txt", .data = "x", .encrypted = true}), ZipErrEncrypted},
        {"local header disagrees", disagreeing, ZipErrHeader},
        {"local extra field past the end", extraPastEnd, ZipErrRead},
        {"truncated archive", whole.substr(0, whole.size() / 2), ZipErrOpen},
        {"end record claiming 60000 entries", ZipBytes({{.name = "t.txt"}}, 60000), ZipErrOpen},
        {"empty file", "", ZipErrOpen},
        {"not an archive", "<html>502 Bad Gateway</html>", ZipErrOpen},
        // Sanitising turns these into harmless names below the base.
        {"/abs/x", named("/abs/x"), ZipOk, {"abs", "abs/x", "t.txt"}},
        {"C:x", named("C:x"), ZipOk, {"t.txt", "x"}},
        {"C:\\dir\\..\\x", named("C:\\dir\\..\\x"), ZipOk, {"t.txt", "x"}},
        {"..\\..\\x", named("..\\..\\x"), ZipOk, {"t.txt", "x"}},
        {"./x", named("./x"), ZipOk, {"t.txt", "x"}},
        {"d\\e\\f.txt", named("d\\e\\f.txt"), ZipOk, {"d", "d/e", "d/e/f.txt", "t.txt"}},
        // Bytes that are not UTF-8 are replaced by U+FFFD, never by a separator or a dot.
        {"not UTF-8",
         named("\xff\xc0\xae\xc0\xaf.txt"),
         ZipOk,
         {"t.txt", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd.txt"}},
        {"not UTF-8, a directory level",
         named("data\\\xff\\x.txt"),
         ZipOk,
         {"data", "data/\xef\xbf\xbd", "data/\xef\xbf\xbd/x.txt", "t.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path root = NewCase(c.archive);
        WriteFile(root / "pkg/t.txt", "old");
        EXPECT_EQ(Extract(root), c.code);
        // No temporary left, the old file whole, the sentinel untouched, nothing else beside it.
        EXPECT_EQ(ListTree(root / "pkg"), c.written);
        EXPECT_EQ(ReadFile(root / "pkg/t.txt"), "old");
        EXPECT_EQ(ReadFile(root / "sentinel.txt"), "keep");
        EXPECT_EQ(std::distance(fs::directory_iterator(root), fs::directory_iterator()), 3);
    }
    EXPECT_FALSE(fs::exists("/abs/x"));

    // A caller's target is held to the same rules as an entry's name (names the system cannot
    // hold are in unzip_package_test).
    const fs::path root = NewCase(named("a.txt"));
    for (const std::wstring& target : {(root / "abs.txt").wstring(), std::wstring(L"C:\\x"),
                                       std::wstring(L"../a.txt"), std::wstring(L"tab\there")})
        EXPECT_EQ(Extract(root, 0, target), ZipErrOpen);
    EXPECT_EQ(ListTree(root), (Paths{"a.zip", "pkg", "sentinel.txt"}));
}

TEST_F(ZipExtractTest, LinksBelowTheBaseAreNotFollowed) {
    const fs::path root = NewCase(ZipBytes({{.name = "dirlink/x.txt", .data = "evil"},
                                            {.name = "dirlink/"},
                                            {.name = "dirlink/deeper/x.txt", .data = "evil"},
                                            {.name = "filelink", .data = "replaced"}}));
    fs::create_directory_symlink(root, root / "pkg/dirlink");
    fs::create_symlink(root / "sentinel.txt", root / "pkg/filelink");
    for (int32_t index : {0, 1, 2})
        EXPECT_EQ(Extract(root, index), ZipErrOpen) << index;
    // A link in the file's place is replaced by the entry; what it pointed to is untouched.
    EXPECT_EQ(Extract(root, 3), ZipOk);
    EXPECT_EQ(ReadFile(root / "pkg/filelink"), "replaced");
    EXPECT_EQ(ReadFile(root / "sentinel.txt"), "keep");
    EXPECT_EQ(ListTree(root),
              (Paths{"a.zip", "pkg", "pkg/dirlink", "pkg/filelink", "sentinel.txt"}));
}

TEST_F(ZipExtractTest, ReadOnlyFileIsReplacedAndDirectoryInTheWayIsKept) {
    const fs::path root = NewCase(ZipBytes({{.name = "ro.txt", .data = "new"}, {.name = "taken"}}));
    WriteFile(root / "pkg/ro.txt", "old");
    fs::permissions(root / "pkg/ro.txt", fs::perms::owner_read);
    WriteFile(root / "pkg/taken/child.txt", "child");
    EXPECT_EQ(Extract(root, 0), ZipOk);
    EXPECT_EQ(ReadFile(root / "pkg/ro.txt"), "new");
    EXPECT_EQ(Extract(root, 1), ZipErrOpen);
    EXPECT_EQ(ListTree(root / "pkg"), (Paths{"ro.txt", "taken", "taken/child.txt"}));
}

} // namespace
