#include "package_fetch.h"

#include <system_error>

#include "net/http_download.h"
#include "streaming_sha256.h"

namespace liveupdate {

namespace {

// Continuations of one transfer that keeps breaking off after some bytes.
constexpr int kMaxResumes = 3;

// A digest is known only for a file of exactly the package's size, so both are checked.
bool Matches(const std::optional<StreamingSha256::Digest>& digest, const Package& package) {
    return digest && digest->bytes == package.size && digest->sha256 == package.sha256;
}

bool FileMatches(const std::filesystem::path& file, const Package& package) {
    StreamingSha256 hasher;
    hasher.StartWithFile(file);
    return Matches(hasher.Finish(), package);
}

std::uint64_t SizeOrZero(const std::filesystem::path& file) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    return error ? 0 : size;
}

// One download into destination, continued while the connection breaks off or stalls after
// bringing some bytes. The hasher follows the file as it is written, a kept part included.
FetchResult Download(const std::string& url, const std::filesystem::path& destination,
                     const Package& package, const FetchOptions& options, StreamingSha256& hasher,
                     std::string& why) {
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
            if (received < package.size)
                options.progress(received);
        };
    download.stored = [&](std::uint64_t offset, const char* data, size_t size) {
        hasher.Add(offset, data, size);
    };
    for (int resumes = 0;; ++resumes) {
        const std::uint64_t before = SizeOrZero(part);
        hasher.StartWithFile(part);
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
        if (FileMatches(destination, package))
            return FetchResult::Ready;
        std::filesystem::remove(destination, error);
    }
    for (int fetch = 0; fetch < 2; ++fetch) {
        StreamingSha256 hasher;
        const FetchResult result = Download(url, destination, package, options, hasher, why);
        if (result != FetchResult::Ready)
            return result;
        // Pieces that did not follow each other leave the digest unknown: the file is read.
        const std::optional<StreamingSha256::Digest> digest = hasher.Finish();
        if (digest ? Matches(digest, package) && SizeOrZero(destination) == package.size
                   : FileMatches(destination, package))
            return FetchResult::Ready;
        why = package.name + " does not match its size and SHA-256";
        std::filesystem::remove(destination, error);
    }
    return FetchResult::Failed;
}

} // namespace liveupdate
