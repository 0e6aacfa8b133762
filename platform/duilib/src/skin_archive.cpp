#include "skin_archive.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <minizip/unzip.h>
#include <mutex>
#include <optional>

#include "duilib/paint_manager.h"
#include "system/path.h"
#include "system/regular_file.h"

namespace DuiLib::detail {

namespace {

// Skins and images are small; anything larger is a damaged or foreign archive.
constexpr uint64_t kMaxEntrySize = 64u * 1024 * 1024;

struct Entry {
    unz64_file_pos position{};
    uint64_t size = 0;
};

struct Directory {
    uintmax_t fileSize = 0;
    std::filesystem::file_time_type modified;
    std::map<std::string, Entry> entries;      // by exact name
    std::map<std::string, std::string> folded; // lower-case name -> exact name
};

std::mutex archiveMutex;
std::map<std::filesystem::path, Directory> directories;

std::string Fold(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

std::string NormaliseName(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    while (name.starts_with("./"))
        name.erase(0, 2);
    while (name.starts_with("/"))
        name.erase(0, 1);
    return name;
}

// minizip reads through a stdio stream we opened ourselves, so the archive is used only when it
// is a regular file (a FIFO or device named bt.dat would hang or never end).
FILE* Stream(voidpf stream) {
    return static_cast<FILE*>(stream);
}

voidpf ZCALLBACK OpenStream(voidpf, const void* stream, int) {
    return const_cast<void*>(stream); // unzOpen2_64 hands back what it was given as the name
}

uLong ZCALLBACK ReadStream(voidpf, voidpf stream, void* buffer, uLong size) {
    return static_cast<uLong>(std::fread(buffer, 1, size, Stream(stream)));
}

uLong ZCALLBACK WriteStream(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T ZCALLBACK TellStream(voidpf, voidpf stream) {
    const off_t position = ftello(Stream(stream));
    return position < 0 ? static_cast<ZPOS64_T>(-1) : static_cast<ZPOS64_T>(position);
}

long ZCALLBACK SeekStream(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    const int whence = origin == ZLIB_FILEFUNC_SEEK_SET   ? SEEK_SET
                       : origin == ZLIB_FILEFUNC_SEEK_CUR ? SEEK_CUR
                                                          : SEEK_END;
    return fseeko(Stream(stream), static_cast<off_t>(offset), whence) == 0 ? 0 : -1;
}

int ZCALLBACK CloseStream(voidpf, voidpf stream) {
    return std::fclose(Stream(stream));
}

int ZCALLBACK StreamError(voidpf, voidpf stream) {
    return std::ferror(Stream(stream));
}

unzFile OpenArchive(const std::filesystem::path& path) {
    platform::OpenedFile file = platform::OpenRegular(path, O_RDONLY);
    FILE* stream = file.fd ? fdopen(file.fd.get(), "rb") : nullptr;
    if (stream == nullptr)
        return nullptr;
    file.fd.release(); // the stream owns it now
    zlib_filefunc64_def functions{};
    functions.zopen64_file = OpenStream;
    functions.zread_file = ReadStream;
    functions.zwrite_file = WriteStream;
    functions.ztell64_file = TellStream;
    functions.zseek64_file = SeekStream;
    functions.zclose_file = CloseStream;
    functions.zerror_file = StreamError;
    // From here minizip owns the stream: it closes it itself when the archive is refused.
    return unzOpen2_64(stream, &functions);
}

class ZipFile {
public:
    explicit ZipFile(const std::filesystem::path& path) : file_(OpenArchive(path)) {}
    ~ZipFile() {
        if (file_ != nullptr)
            unzClose(file_);
    }
    ZipFile(const ZipFile&) = delete;
    ZipFile& operator=(const ZipFile&) = delete;
    unzFile get() const { return file_; }

private:
    unzFile file_;
};

std::optional<Directory> ReadDirectory(const std::filesystem::path& path) {
    ZipFile zip(path);
    if (zip.get() == nullptr)
        return std::nullopt;
    Directory directory;
    for (int status = unzGoToFirstFile(zip.get()); status == UNZ_OK;
         status = unzGoToNextFile(zip.get())) {
        unz_file_info64 info{};
        char name[1024];
        if (unzGetCurrentFileInfo64(zip.get(), &info, name, sizeof(name), nullptr, 0, nullptr, 0) !=
            UNZ_OK)
            return std::nullopt;
        if (info.size_filename >= sizeof(name))
            continue; // a name this long is no skin file of ours
        Entry entry;
        entry.size = info.uncompressed_size;
        if (unzGetFilePos64(zip.get(), &entry.position) != UNZ_OK)
            return std::nullopt;
        const std::string normalised = NormaliseName(name);
        directory.folded.emplace(Fold(normalised), normalised);
        directory.entries.emplace(normalised, entry);
    }
    return directory;
}

// The cached directory of path, read again when the file changed. Called with archiveMutex held.
const Directory* DirectoryOf(const std::filesystem::path& path) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    if (error)
        return nullptr;
    const auto modified = std::filesystem::last_write_time(path, error);
    if (error)
        return nullptr;
    const auto cached = directories.find(path);
    if (cached != directories.end() && cached->second.fileSize == size &&
        cached->second.modified == modified)
        return &cached->second;
    std::optional<Directory> directory = ReadDirectory(path);
    if (!directory) {
        directories.erase(path);
        return nullptr;
    }
    directory->fileSize = size;
    directory->modified = modified;
    return &(directories[path] = std::move(*directory));
}

// Skin names come from code written for a case-insensitive file system ("TopSKin.xml").
const Entry* FindEntry(const Directory& directory, const std::wstring& entryName) {
    const std::optional<std::string> utf8 = platform::WideToUtf8(entryName);
    if (!utf8)
        return nullptr;
    const std::string name = NormaliseName(*utf8);
    if (const auto exact = directory.entries.find(name); exact != directory.entries.end())
        return &exact->second;
    const auto folded = directory.folded.find(Fold(name));
    if (folded == directory.folded.end())
        return nullptr;
    return &directory.entries.at(folded->second);
}

bool ReadEntry(const std::filesystem::path& path, const Entry& entry, std::string& bytes) {
    if (entry.size > kMaxEntrySize)
        return false;
    ZipFile zip(path);
    unz64_file_pos position = entry.position;
    if (zip.get() == nullptr || unzGoToFilePos64(zip.get(), &position) != UNZ_OK ||
        unzOpenCurrentFile(zip.get()) != UNZ_OK)
        return false;
    std::string data(static_cast<size_t>(entry.size), '\0');
    size_t done = 0;
    bool ok = true;
    while (done < data.size()) {
        const int read = unzReadCurrentFile(
            zip.get(), data.data() + done,
            static_cast<unsigned>(std::min<size_t>(data.size() - done, 1u << 20)));
        if (read <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(read);
    }
    // Closing checks the CRC once the whole entry was read.
    if (unzCloseCurrentFile(zip.get()) != UNZ_OK)
        ok = false;
    if (ok)
        bytes = std::move(data);
    return ok;
}

} // namespace

std::wstring SkinArchivePath() {
    const std::wstring zip = CPaintManagerUI::GetResourceZip().str();
    if (zip.empty())
        return {};
    if (zip.front() == L'/')
        return zip;
    return CPaintManagerUI::GetResourcePath().str() + zip;
}

bool ReadArchiveEntry(const std::wstring& archivePath, const std::wstring& entryName,
                      std::string& bytes) {
    const std::optional<std::filesystem::path> path = platform::ToPath(archivePath);
    if (!path || archivePath.empty())
        return false;
    std::lock_guard lock(archiveMutex);
    const Directory* directory = DirectoryOf(*path);
    if (directory == nullptr)
        return false;
    const Entry* entry = FindEntry(*directory, entryName);
    return entry != nullptr && ReadEntry(*path, *entry, bytes);
}

bool ArchiveHasEntry(const std::wstring& archivePath, const std::wstring& entryName) {
    const std::optional<std::filesystem::path> path = platform::ToPath(archivePath);
    if (!path || archivePath.empty())
        return false;
    std::lock_guard lock(archiveMutex);
    const Directory* directory = DirectoryOf(*path);
    return directory != nullptr && FindEntry(*directory, entryName) != nullptr;
}

} // namespace DuiLib::detail
