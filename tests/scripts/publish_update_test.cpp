// The operator's release tools, run as the operator runs them, on real game directories.
#include "launcher/update/copy_path.h"
#include "launcher/zip/zip_extract.h"
#include "launcher/zip/zip_reader.h"
#include "system/path.h"
#include "tests/scripts/release_tools.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_maker.h"

#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <pugixml.hpp>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

namespace fs = std::filesystem;
using namespace testing_support;
using Paths = std::vector<std::string>;
using Files = std::map<std::string, std::string>;

std::string Sha256(const fs::path& file) {
    const CommandResult result = RunCommand({"openssl", "dgst", "-sha256", "-r", file});
    EXPECT_EQ(result.exitCode, 0) << result.output;
    return result.output.substr(0, 64);
}

// The manifest in out as one line, "game/launcher: from>to package...; ...", once each package
// it lists is checked to be on the server with the size and digest it states.
std::string Outline(const fs::path& out) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_file((out / "manifest.xml").c_str()));
    const pugi::xml_node update = document.child("update");
    std::string outline = update.attribute("game").value() + std::string("/") +
                          update.attribute("launcher").value() + ":";
    for (const pugi::xml_node step : update.children("step")) {
        outline +=
            std::string(" ") + step.attribute("from").value() + ">" + step.attribute("to").value();
        for (const pugi::xml_node package : step.children("package")) {
            const std::string name = package.attribute("name").value();
            outline += " " + name;
            EXPECT_EQ(fs::file_size(out / name), package.attribute("size").as_ullong()) << name;
            EXPECT_EQ(Sha256(out / name), package.attribute("sha256").value()) << name;
        }
        outline += ";";
    }
    return outline;
}

std::string VersionIni(const std::string& version) {
    return "[Version]\nVersion=" + version + "\n";
}

void MakeGame(const fs::path& dir, const Files& files) {
    fs::create_directories(dir);
    for (const auto& [path, bytes] : files)
        WriteFile(dir / path, bytes);
}

void SetModificationTime(const fs::path& file, time_t seconds) {
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

// Every entry of a package, unpacked by the launcher's zip layer below dir, by entry name.
std::map<std::string, ZipEntry> Unpack(const fs::path& archive, const fs::path& dir) {
    std::map<std::string, ZipEntry> entries;
    ZipHandle* handle = OpenZipFile(platform::FromPath(archive).value_or(L""));
    EXPECT_NE(handle, nullptr) << archive;
    if (handle == nullptr)
        return entries;
    EXPECT_EQ(SetZipBaseDir(handle, platform::FromPath(dir).value_or(L"")), ZipOk);
    ZipEntry count;
    EXPECT_EQ(GetZipEntry(handle->reader, -1, &count), ZipOk);
    for (int32_t i = 0; i < count.number; ++i) {
        ZipEntry entry;
        EXPECT_EQ(GetZipEntry(handle->reader, i, &entry), ZipOk);
        EXPECT_EQ(ExtractZipEntry(handle->reader, i, entry.name), ZipOk) << archive;
        entries[platform::WideToUtf8(entry.name).value_or("")] = entry;
    }
    CloseZipFile(handle);
    return entries;
}

class PublishUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        const CommandResult made = MakeUpdateKey(root / "key");
        ASSERT_EQ(made.exitCode, 0) << made.output;
    }

    CommandResult Publish(const fs::path& old, const fs::path& fresh, const std::string& version,
                          const std::string& launcherVersion, const fs::path& out) {
        return RunPublishUpdate(root / "key", old, fresh, version, launcherVersion, out);
    }

    bool SignatureVerifies(const fs::path& out) {
        return RunCommand({"openssl", "pkeyutl", "-verify", "-pubin", "-inkey",
                           root / "key/update.pub", "-rawin", "-in", out / "manifest.xml",
                           "-sigfile", out / "manifest.xml.sig"})
                   .exitCode == 0;
    }

    TempDir root;
};

TEST_F(PublishUpdateTest, KeyPairIsPrivateAndNeverOverwritten) {
    struct stat info {};
    ASSERT_EQ(stat((root / "key/update.key").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const std::string pub = ReadFile(root / "key/update.pub");
    EXPECT_EQ(pub.rfind("-----BEGIN PUBLIC KEY-----\n", 0), 0u);
    const CommandResult again = MakeUpdateKey(root / "key");
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(ReadFile(root / "key/update.pub"), pub);
}

TEST_F(PublishUpdateTest, StepCarriesChangedAddedAndRemovedFilesInSignedPackages) {
    MakeGame(root / "old", {{"version.ini", "[Version]\nVersion=1.0\nLVersion=3\n"},
                            {"same.txt", "same"},
                            {"changed.txt", "old"},
                            {"sub/gone.txt", "gone"},
                            {"sub/keep.bin", "keep"},
                            {"data/archive.i", "index one"},
                            {"removed_dir/x.txt", "x"}});
    MakeGame(root / "new", {{"version.ini", "[Version]\nVersion=1.1\nLVersion=7\n"},
                            {"same.txt", "same"},
                            {"changed.txt", "new text"},
                            {"sub/keep.bin", "keep"},
                            {"sub/added.txt", "added"},
                            {"sub/tool.sh", "#!/bin/sh\n"},
                            {"data/archive.i", "index two"},
                            {"newdir/deep/file.txt", "deep"},
                            {"newdir/del.lst", "a file like any other here"},
                            {"newdir/Table.I", "copied whole"}});
    fs::create_directory(root / "new/emptydir");
    chmod((root / "new/sub/tool.sh").c_str(), 0755);
    SetModificationTime(root / "new/changed.txt", 1600000000);

    const CommandResult run = Publish(root / "old", root / "new", "1.1", "7", root / "srv");
    ASSERT_EQ(run.exitCode, 0) << run.output;

    EXPECT_EQ(Outline(root / "srv"), "1.1/7: 1.0>1.1 1.0-1.1-1.upd 1.0-1.1-2.tre;");
    EXPECT_TRUE(SignatureVerifies(root / "srv"));
    EXPECT_EQ(fs::file_size(root / "srv/manifest.xml.sig"), 64u);

    // Changed files, new directories whole, the delete list; index files go whole in the ".tre".
    const auto upd = Unpack(root / "srv/1.0-1.1-1.upd", root / "upd");
    EXPECT_EQ(ListTree(root / "upd"),
              (Paths{"changed.txt", "del.lst", "emptydir", "newdir", "newdir/Table.I",
                     "newdir/deep", "newdir/deep/file.txt", "newdir/del.lst", "sub",
                     "sub/added.txt", "sub/tool.sh", "version.ini"}));
    for (const char* file : {"changed.txt", "newdir/Table.I", "newdir/deep/file.txt",
                             "newdir/del.lst", "sub/added.txt", "sub/tool.sh", "version.ini"})
        EXPECT_EQ(ReadFile(root / "upd" / file), ReadFile(root / "new" / file)) << file;
    EXPECT_EQ(ReadFile(root / "upd/del.lst"), "removed_dir/x.txt\nsub/gone.txt\n");
    Unpack(root / "srv/1.0-1.1-2.tre", root / "tre");
    EXPECT_EQ(ListTree(root / "tre"), (Paths{"data", "data/archive.i"}));
    EXPECT_EQ(ReadFile(root / "tre/data/archive.i"), "index two");

    // Modification time (the "UT" block) and permissions survive the trip.
    ASSERT_TRUE(upd.contains("changed.txt"));
    EXPECT_EQ(upd.at("changed.txt").writeTime,
              ZipFileTimeUnixEpoch + 1600000000ULL * ZipFileTimeTicksPerSecond);
    struct stat info {};
    ASSERT_EQ(stat((root / "upd/changed.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, 1600000000);
    ASSERT_EQ(stat((root / "upd/sub/tool.sh").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0755u);
    EXPECT_EQ(upd.at("sub/tool.sh").attributes, ZipAttrArchive);
}

TEST_F(PublishUpdateTest, SecondStepIsAppendedAndTheFirstKept) {
    for (const std::string version : {"1.0", "1.1", "1.2", "1.3"})
        MakeGame(root / ("v" + version),
                 {{"version.ini", VersionIni(version)}, {"a.txt", version}});
    MakeGame(root / "v1.1-other", {{"version.ini", VersionIni("1.1")}, {"a.txt", "b"}});
    ASSERT_EQ(Publish(root / "v1.0", root / "v1.1", "1.1", "5", root / "srv").exitCode, 0);
    const std::string firstPackage = ReadFile(root / "srv/1.0-1.1-1.upd");

    // The same step again changes nothing (its packages come out byte for byte the same); the
    // same step with other content is refused.
    EXPECT_EQ(Publish(root / "v1.0", root / "v1.1", "1.1", "5", root / "srv").exitCode, 0);
    EXPECT_EQ(Outline(root / "srv"), "1.1/5: 1.0>1.1 1.0-1.1-1.upd;");
    const std::string signedBytes = ReadFile(root / "srv/manifest.xml");
    const CommandResult clash =
        Publish(root / "v1.0", root / "v1.1-other", "1.1", "5", root / "srv");
    EXPECT_EQ(clash.exitCode, 1);
    EXPECT_NE(clash.output.find("other content"), std::string::npos) << clash.output;
    EXPECT_EQ(ReadFile(root / "srv/manifest.xml"), signedBytes);

    const CommandResult second = Publish(root / "v1.1", root / "v1.2", "1.2", "6", root / "srv");
    ASSERT_EQ(second.exitCode, 0) << second.output;
    EXPECT_EQ(Outline(root / "srv"), "1.2/6: 1.0>1.1 1.0-1.1-1.upd; 1.1>1.2 1.1-1.2-1.upd;");
    EXPECT_EQ(ReadFile(root / "srv/1.0-1.1-1.upd"), firstPackage);
    EXPECT_TRUE(SignatureVerifies(root / "srv"));

    // A tree whose manifest was altered is not extended.
    WriteFile(root / "srv/manifest.xml", ReadFile(root / "srv/manifest.xml") + "\n");
    const CommandResult altered = Publish(root / "v1.2", root / "v1.3", "1.3", "6", root / "srv");
    EXPECT_EQ(altered.exitCode, 1);
    EXPECT_FALSE(fs::exists(root / "srv/1.2-1.3-1.upd"));
}

TEST_F(PublishUpdateTest, FreshInstallStepStartsAtZeroAndCarriesEverything) {
    fs::create_directory(root / "empty");
    MakeGame(root / "new", {{"version.ini", VersionIni("2.0")},
                            {"zel.exe", "client"},
                            {"data/login.dat", "blocks"},
                            {"data/login.dat.i", "index"},
                            {"\xE6\x95\xB0\xE6\x8D\xAE/\xE6\x96\x87 \xE4\xBB\xB6.txt", "cjk"}});
    ASSERT_EQ(Publish(root / "empty", root / "new", "2.0", "1", root / "a").exitCode, 0);

    EXPECT_EQ(Outline(root / "a"), "2.0/1: 0.0>2.0 0.0-2.0-1.upd;");
    // Every directory is new, so the installer copies it whole: login.dat and ".i" included.
    Unpack(root / "a/0.0-2.0-1.upd", root / "unpacked");
    EXPECT_EQ(ListTree(root / "unpacked"), ListTree(root / "new"));
    for (const std::string& path : ListTree(root / "new")) {
        if (fs::is_regular_file(root / "new" / path)) {
            EXPECT_EQ(ReadFile(root / "unpacked" / path), ReadFile(root / "new" / path)) << path;
        }
    }

    // An installation at "0.0" loses its "data" before installing: the step carries all of it
    // and deletes nothing there.
    MakeGame(root / "zero", {{"version.ini", VersionIni("0.0")},
                             {"data/login.dat", "blocks"},
                             {"data/stale.bin", "left by the installer"}});
    ASSERT_EQ(Publish(root / "zero", root / "new", "2.0", "1", root / "c").exitCode, 0);
    Unpack(root / "c/0.0-2.0-1.upd", root / "from-zero");
    EXPECT_EQ(ListTree(root / "from-zero"), ListTree(root / "new"));
}

TEST_F(PublishUpdateTest, NewSelfUpdaterTravelsInItsOwnLastPackageWithTheLauncher) {
    MakeGame(root / "old", {{"version.ini", VersionIni("1.0")},
                            {"launcher", "launcher 1"},
                            {"launcherupdate.exe", "updater 1"},
                            {"game.txt", "game 1"}});
    MakeGame(root / "launcher-only", {{"version.ini", VersionIni("1.1")},
                                      {"launcher", "launcher 2"},
                                      {"launcherupdate.exe", "updater 1"},
                                      {"game.txt", "game 1"}});
    MakeGame(root / "both", {{"version.ini", VersionIni("1.1")},
                             {"launcher", "launcher 2"},
                             {"launcherupdate.exe", "updater 2"},
                             {"game.txt", "game 2"}});

    ASSERT_EQ(Publish(root / "old", root / "launcher-only", "1.1", "2", root / "one").exitCode, 0);
    EXPECT_EQ(Outline(root / "one"), "1.1/2: 1.0>1.1 1.0-1.1-1.upd;");
    Unpack(root / "one/1.0-1.1-1.upd", root / "one-unpacked");
    EXPECT_EQ(ListTree(root / "one-unpacked"), (Paths{"launcher", "version.ini"}));

    ASSERT_EQ(Publish(root / "old", root / "both", "1.1", "2", root / "two").exitCode, 0);
    EXPECT_EQ(Outline(root / "two"), "1.1/2: 1.0>1.1 1.0-1.1-1.upd 1.0-1.1-2.upd;");
    Unpack(root / "two/1.0-1.1-1.upd", root / "first");
    Unpack(root / "two/1.0-1.1-2.upd", root / "second");
    EXPECT_EQ(ListTree(root / "first"), (Paths{"game.txt", "version.ini"}));
    EXPECT_EQ(ListTree(root / "second"), (Paths{"launcher", "launcherupdate.exe"}));
    EXPECT_EQ(ReadFile(root / "second/launcherupdate.exe"), "updater 2");
}

TEST_F(PublishUpdateTest, RefusesWhatWouldNotInstallAsPublished) {
    struct Case {
        const char* what;
        Files oldExtra;
        Files newExtra;
        std::string version = "1.1";
    };
    const Case cases[] = {
        {"backslash in a name", {}, {{"back\\slash.txt", "x"}}},
        {"control character in a name", {}, {{"line\nbreak.txt", "x"}}},
        {"drive-like name", {}, {{"c:drive.txt", "x"}}},
        {"removed name with a space", {{"old file.txt", "x"}}, {}},
        {"delete list in an installed directory", {}, {{"sub/Del.lst", "a.txt"}}},
        {"changed login.dat", {{"sub/login.dat", "1"}}, {{"sub/login.dat", "2"}}},
        {"file becomes a directory", {{"sub/x", "file"}}, {{"sub/x/y", "dir"}}},
        {"version.ini names another version", {}, {{"version.ini", VersionIni("1.5")}}},
        {"version that cannot name a package", {}, {}, "1/1"},
        {"version longer than a manifest may name", {}, {}, std::string(65, '1')},
        {"name that is not UTF-8", {}, {{"sub/gbk-\xD6\xD0\xCE\xC4.txt", "x"}}},
        {"launcher's download directory", {}, {{"temp/x.txt", "x"}}},
    };
    int number = 0;
    for (const Case& c : cases) {
        const fs::path dir = root / std::to_string(number++);
        MakeGame(dir / "old", {{"version.ini", VersionIni("1.0")}, {"sub/a.txt", "a"}});
        MakeGame(dir / "new", {{"sub/a.txt", "a2"}});
        MakeGame(dir / "old", c.oldExtra);
        MakeGame(dir / "new", c.newExtra);
        const CommandResult run = Publish(dir / "old", dir / "new", c.version, "1", dir / "srv");
        EXPECT_EQ(run.exitCode, 1) << c.what << ": " << run.output;
        EXPECT_NE(run.output.find("refused"), std::string::npos) << c.what << ": " << run.output;
        EXPECT_FALSE(fs::exists(dir / "srv")) << c.what;
    }

    // Links and special files, on either side.
    MakeGame(root / "old", {{"a.txt", "a"}});
    MakeGame(root / "new", {{"a.txt", "b"}});
    fs::create_symlink("a.txt", root / "new/link");
    EXPECT_EQ(Publish(root / "old", root / "new", "1.1", "1", root / "srv").exitCode, 1);
    fs::remove(root / "new/link");
    ASSERT_EQ(mkfifo((root / "old/pipe").c_str(), 0644), 0);
    EXPECT_EQ(Publish(root / "old", root / "new", "1.1", "1", root / "srv").exitCode, 1);
    EXPECT_FALSE(fs::exists(root / "srv"));
}

// "levels" directories below dir, one at a time (the whole path may be longer than the system
// takes in one call), and a file in the last.
void MakeDeepFile(const fs::path& dir, const std::vector<std::string>& levels,
                  const std::string& file) {
    int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (const std::string& level : levels) {
        ASSERT_EQ(mkdirat(fd, level.c_str(), 0755), 0) << std::strerror(errno);
        const int child = openat(fd, level.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        ASSERT_GE(child, 0);
        fd = child;
    }
    const int out = openat(fd, file.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    close(fd);
    ASSERT_GE(out, 0) << std::strerror(errno);
    ASSERT_EQ(write(out, "deep", 4), 4);
    close(out);
}

// A little-endian field of bytes.
uint64_t Field(const std::string& bytes, size_t at, size_t size) {
    uint64_t value = 0;
    for (size_t i = size; i-- > 0;)
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

std::string LittleEndian64(uint64_t value) {
    std::string bytes;
    for (int i = 0; i < 8; ++i, value >>= 8)
        bytes += static_cast<char>(value & 0xFF);
    return bytes;
}

TEST_F(PublishUpdateTest, EntryBeyondFourGiBHasZip64Records) {
    // Sparse: the test costs the deflating, not the disk.
    constexpr uint64_t kSize = (uint64_t{9} << 30) / 2;
    fs::create_directory(root / "old");
    MakeGame(root / "new", {{"version.ini", VersionIni("1.1")}});
    WriteFile(root / "new/big.bin", "");
    fs::resize_file(root / "new/big.bin", kSize);
    const CommandResult run = Publish(root / "old", root / "new", "1.1", "1", root / "srv");
    fs::remove(root / "new/big.bin");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const fs::path package = root / "srv/0.0-1.1-1.upd";

    uLong crc = crc32(0, nullptr, 0);
    const std::string zeros(1 << 20, '\0');
    const uLong blockCrc = crc32_z(0, reinterpret_cast<const Bytef*>(zeros.data()), zeros.size());
    for (uint64_t done = 0; done < kSize; done += zeros.size())
        crc = crc32_combine(crc, blockCrc, static_cast<z_off_t>(zeros.size()));

    // Another reader's view of the central directory: size, CRC, packed size, offset.
    const CommandResult central =
        RunCommand({"python3", "-c",
                    "import sys, zipfile\n"
                    "i = zipfile.ZipFile(sys.argv[1]).getinfo('big.bin')\n"
                    "print(i.file_size, i.CRC, i.compress_size, i.header_offset)",
                    package});
    ASSERT_EQ(central.exitCode, 0) << central.output;
    std::istringstream fields(central.output);
    uint64_t size = 0, centralCrc = 0, packed = 0, offset = 0;
    fields >> size >> centralCrc >> packed >> offset;
    EXPECT_EQ(size, kSize);
    EXPECT_EQ(centralCrc, crc);

    // The local header holds both sizes in its Zip64 field, as readers that check it need.
    const std::string bytes = ReadFile(package);
    ASSERT_GE(bytes.size(), offset + 30);
    ASSERT_EQ(bytes.compare(offset, 4, "PK\3\4"), 0);
    EXPECT_EQ(Field(bytes, offset + 18, 8), 0xFFFFFFFFFFFFFFFFu);
    const std::string extra =
        bytes.substr(offset + 30 + Field(bytes, offset + 26, 2), Field(bytes, offset + 28, 2));
    const std::string zip64 =
        std::string("\1\0\20\0", 4) + LittleEndian64(kSize) + LittleEndian64(packed);
    EXPECT_NE(extra.find(zip64), std::string::npos);
}

TEST_F(PublishUpdateTest, DepthAndPathLengthStopWhereTheLauncherStops) {
    const auto installs = [](const fs::path& from, const fs::path& to) {
        return CopyPath(wxString::FromUTF8(from.native()), wxString::FromUTF8(to.native()));
    };
    fs::create_directories(root / "old");
    fs::create_directories(root / "installed");
    const std::vector<std::string> deepest(256, "d");
    MakeGame(root / "deep/new", {});
    MakeDeepFile(root / "deep/new", deepest, "f.txt");
    ASSERT_EQ(Publish(root / "old", root / "deep/new", "1.1", "1", root / "deep/srv").exitCode, 0);
    Unpack(root / "deep/srv/0.0-1.1-1.upd", root / "deep/unpacked");
    ASSERT_TRUE(installs(root / "deep/unpacked", root / "installed"));
    std::string path = "installed";
    for (const std::string& level : deepest)
        path += "/" + level;
    EXPECT_EQ(ReadFile(root / (path + "/f.txt")), "deep");

    // One level more: the launcher would refuse the package, and the tool refuses the tree.
    std::vector<std::string> deeper = deepest;
    deeper.push_back("d");
    MakeGame(root / "deeper/new", {});
    MakeDeepFile(root / "deeper/new", deeper, "f.txt");
    const CommandResult tooDeep =
        Publish(root / "old", root / "deeper/new", "1.1", "1", root / "deeper/srv");
    EXPECT_EQ(tooDeep.exitCode, 1);
    EXPECT_NE(tooDeep.output.find("257 directories deep"), std::string::npos) << tooDeep.output;
    EXPECT_FALSE(fs::exists(root / "deeper/srv"));
    EXPECT_FALSE(installs(root / "deeper/new", root / "installed"));
    const fs::path dirOnly = root / ("deeper/dir-only/" + path);
    fs::create_directories(dirOnly);
    const CommandResult emptyTooDeep =
        Publish(root / "old", root / "deeper/dir-only", "1.1", "1", root / "deeper/srv2");
    EXPECT_EQ(emptyTooDeep.exitCode, 1);
    EXPECT_NE(emptyTooDeep.output.find("257 directories deep"), std::string::npos)
        << emptyTooDeep.output;

    // Unpacked below "/temp/0.0-1.1-1/" the longest path, 4079 bytes, leaves room for the
    // terminator of the system's 4096 bytes; a byte more fits nowhere. The tool runs inside the
    // tree, as the paths are longer than the system takes in one call from elsewhere.
    const std::vector<std::string> longNames(16, std::string(250, 'n'));
    for (const size_t extra : {0u, 1u}) {
        const fs::path dir = root / ("long" + std::to_string(extra));
        MakeGame(dir / "new", {});
        MakeDeepFile(dir / "new", longNames, std::string(63 + extra, 'f'));
        const CommandResult run =
            RunCommand({kReleaseTools / "publish-update", "--key", root / "key/update.key",
                        "--installed", root / "old", "--new", ".", "--version", "1.1",
                        "--launcher-version", "1", "--out", dir / "srv"},
                       dir / "new");
        RunCommand({"rm", "-rf", "--", dir / "new"});
        if (extra == 1) {
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_NE(run.output.find("is 4080 bytes long"), std::string::npos) << run.output;
            EXPECT_FALSE(fs::exists(dir / "srv"));
            continue;
        }
        ASSERT_EQ(run.exitCode, 0) << run.output;
        ZipHandle* handle = OpenZipFile((dir / "srv/0.0-1.1-1.upd").wstring());
        ASSERT_NE(handle, nullptr);
        ZipEntry entry;
        EXPECT_EQ(GetZipEntry(handle->reader, 0, &entry), ZipOk);
        EXPECT_EQ(entry.name.size(), 4079u);
        CloseZipFile(handle);
    }
}

TEST_F(PublishUpdateTest, BothToolsSayAKeySignsOneGame) {
    for (const char* tool : {"make-update-key", "publish-update"}) {
        const CommandResult help = RunCommand({kReleaseTools / tool, "--help"});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_NE(help.output.find("one game"), std::string::npos) << tool;
    }
}

} // namespace
