#include "package_fetch.h"

#include <array>
#include <fcntl.h>
#include <system_error>

#include <openssl/evp.h>

#include "net/http_download.h"
#include "system/file_io.h"
#include "system/regular_file.h"

namespace liveupdate {

namespace {

// Continuations of one transfer that keeps breaking off after some bytes.
constexpr int kMaxResumes = 3;
constexpr size_t kHashChunkBytes = 1 << 20;

std::string HexOf(const unsigned char* bytes, size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (size_t i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0xF];
    }
    return hex;
}

// The SHA-256 of a regular file of exactly `size` bytes, as lowercase hex; "" otherwise.
std::string Sha256OfFile(const std::filesystem::path& file, std::uint64_t size) {
    const platform::OpenedFile opened = platform::OpenRegular(file, O_RDONLY | O_NOFOLLOW);
    if (!opened.fd || opened.size != size)
        return "";
    std::string hex;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    if (context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1) {
        std::string chunk(kHashChunkBytes, '\0');
        std::uint64_t offset = 0;
        bool ok = true;
        while (ok && offset < size) {
            const std::optional<size_t> read =
                platform::ReadAt(opened.fd.get(), chunk.data(), chunk.size(), offset);
            ok = read && *read > 0 && EVP_DigestUpdate(context, chunk.data(), *read) == 1;
            offset += read.value_or(0);
        }
        std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
        unsigned int digestSize = 0;
        if (ok && EVP_DigestFinal_ex(context, digest.data(), &digestSize) == 1)
            hex = HexOf(digest.data(), digestSize);
    }
    EVP_MD_CTX_free(context);
    return hex;
}

bool Matches(const std::filesystem::path& file, const Package& package) {
    return Sha256OfFile(file, package.size) == package.sha256;
}

std::uint64_t SizeOrZero(const std::filesystem::path& file) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    return error ? 0 : size;
}

// One download into destination, continued while the connection breaks off or stalls after
// bringing some bytes.
FetchResult Download(const std::string& url, const std::filesystem::path& destination,
                     const Package& package, const FetchOptions& options, std::string& why) {
    std::filesystem::path part = destination;
    part += ".part";
    // A partial file as large as the package would only earn a refused range request.
    if (SizeOrZero(part) >= package.size) {
        std::error_code ignored;
        std::filesystem::remove(part, ignored);
    }

    net::DownloadOptions download;
    download.connectTimeout = options.connectTimeout;
    download.stallLimit = options.stallLimit;
    download.maxBytes = package.size;
    download.resume = true;
    download.abort = options.abort;
    if (options.progress)
        download.progress = [&](std::uint64_t received, std::uint64_t) {
            options.progress(std::min(received, package.size));
        };
    for (int resumes = 0;; ++resumes) {
        const std::uint64_t before = SizeOrZero(part);
        const net::DownloadResult result = net::DownloadToFile(url, destination, download);
        if (result.Ok())
            return FetchResult::Ready;
        if (result.error == net::DownloadError::Aborted)
            return FetchResult::Aborted;
        const bool brokeOffAfterProgress = (result.error == net::DownloadError::Transfer ||
                                            result.error == net::DownloadError::Stalled) &&
                                           SizeOrZero(part) > before;
        if (!brokeOffAfterProgress || resumes == kMaxResumes) {
            // A server whose file outgrows the manifest's size leaves nothing worth continuing.
            if (result.error == net::DownloadError::TooLarge) {
                std::error_code ignored;
                std::filesystem::remove(part, ignored);
            }
            why = package.name + ": " + result.detail;
            return FetchResult::Failed;
        }
    }
}

} // namespace

FetchResult FetchPackage(const std::string& url, const std::filesystem::path& destination,
                         const Package& package, const FetchOptions& options, std::string& why) {
    std::error_code error;
    if (std::filesystem::is_symlink(destination, error) ||
        std::filesystem::exists(destination, error)) {
        if (Matches(destination, package))
            return FetchResult::Ready;
        std::filesystem::remove(destination, error);
    }
    for (int fetch = 0; fetch < 2; ++fetch) {
        const FetchResult result = Download(url, destination, package, options, why);
        if (result != FetchResult::Ready)
            return result;
        if (Matches(destination, package))
            return FetchResult::Ready;
        why = package.name + " does not match its size and SHA-256";
        std::filesystem::remove(destination, error);
    }
    return FetchResult::Failed;
}

} // namespace liveupdate
