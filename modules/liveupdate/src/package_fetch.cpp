#include "package_fetch.h"

#include <system_error>

#include "module_limits.h"
#include "net/http_download.h"
#include "records.h"
#include "streaming_sha256.h"

namespace liveupdate {

namespace {

// Enough of a digest for an operator to tell two builds of a package apart.
constexpr size_t kShownDigestDigits = 12;

// A digest is known only for a file of exactly the package's size, so both are checked.
bool Matches(const std::optional<StreamingSha256::Digest>& digest, const Package& package) {
    return digest && digest->bytes == package.size && digest->sha256 == package.sha256;
}

std::uint64_t SizeOrZero(const std::filesystem::path& file) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    return error ? 0 : size;
}

void Remove(const std::filesystem::path& file) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

// What the operator needs to find the wrong file: its address and both sizes and digests.
std::string Mismatch(const std::string& url, const Package& package,
                     const std::optional<StreamingSha256::Digest>& got) {
    return package.name + " from " + url + " refused: the manifest gives " +
           std::to_string(package.size) + " bytes, SHA-256 " +
           package.sha256.substr(0, kShownDigestDigits) + "..., the server sent " +
           (got ? std::to_string(got->bytes) + " bytes, SHA-256 " +
                      got->sha256.substr(0, kShownDigestDigits) + "..."
                : std::string("a file that cannot be read back"));
}

// One download into destination, continued while the connection breaks off or stalls after
// bringing some bytes. The hasher follows the file as it is written, a kept part included.
FetchResult Download(const std::string& url, const std::filesystem::path& destination,
                     const Package& package, const FetchOptions& options, StreamingSha256& hasher,
                     net::DownloadError& error, std::string& why) {
    std::filesystem::path part = destination;
    part += ".part";
    // A partial file as large as the package would only earn a refused range request.
    if (SizeOrZero(part) >= package.size)
        Remove(part);

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
            error = result.error;
            // A server whose file outgrows the manifest's size leaves nothing worth continuing.
            if (error == net::DownloadError::TooLarge) {
                Remove(part);
                why = package.name + " from " + url + " refused: the server sends more than the " +
                      std::to_string(package.size) + " bytes the manifest gives";
            } else {
                why = package.name + " not fetched: " + FailureText(result);
            }
            return FetchResult::Failed;
        }
    }
}

} // namespace

FetchResult FetchPackage(const std::string& url, const std::filesystem::path& destination,
                         const Package& package, const FetchOptions& options, FetchReport& report) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(destination, error))) {
        if (Matches(FileDigest(destination), package))
            return FetchResult::Ready;
        Remove(destination);
    }
    // A transfer cut just before its end, or a package fetched whole by an earlier run.
    std::filesystem::path part = destination;
    part += ".part";
    if (SizeOrZero(part) == package.size && package.size > 0 &&
        Matches(FileDigest(part), package)) {
        std::filesystem::rename(part, destination, error);
        if (!error)
            return FetchResult::Ready;
    }
    for (int fetch = 0; fetch < options.checksLeft; ++fetch) {
        StreamingSha256 hasher;
        net::DownloadError failure = net::DownloadError::None;
        const FetchResult result =
            Download(url, destination, package, options, hasher, failure, report.why);
        if (result == FetchResult::Aborted)
            return result;
        if (result == FetchResult::Failed) {
            // Too many bytes is a wrong package as much as a wrong digest.
            if (failure == net::DownloadError::TooLarge)
                ++report.failedChecks;
            Say(report.why);
            return result;
        }
        // Pieces that did not follow each other leave the digest unknown: the file is read.
        std::optional<StreamingSha256::Digest> digest = hasher.Finish();
        if (!digest)
            digest = FileDigest(destination);
        if (Matches(digest, package) && SizeOrZero(destination) == package.size)
            return FetchResult::Ready;
        ++report.failedChecks;
        report.why = Mismatch(url, package, digest);
        Say(report.why);
        Remove(destination);
    }
    return FetchResult::Failed;
}

} // namespace liveupdate
