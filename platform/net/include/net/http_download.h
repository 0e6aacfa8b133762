#pragma once
// The one HTTP download routine: a GET of an http or https address into a file, committed only
// when the whole body arrived. Every limit is the caller's choice; the routine enforces them.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace net {

struct DownloadOptions {
    std::chrono::milliseconds connectTimeout{std::chrono::seconds(10)};
    std::chrono::milliseconds stallLimit{std::chrono::seconds(30)}; // no byte this long: fail
    // A trickle that never stalls still ends: once rateWindow has passed since the request, the
    // body bytes of the last rateWindow must average at least minRate bytes per second (decoded
    // bytes; a fast start does not carry a trickle after it). 0 disables the floor.
    std::uint64_t minRate = 1024;
    std::chrono::milliseconds rateWindow{std::chrono::seconds(30)};
    // The whole transfer, connect included, ends within totalLimit; 0 means no such limit.
    std::chrono::milliseconds totalLimit{0};
    int maxRedirects = 0;               // 0: a redirect answer is a failure, none is followed
    std::uint64_t maxBytes = 16u << 20; // cap on the file's size, counted by the routine
    // Keep destination + ".part" on failure and continue it with a range request next time
    // (a 206 answer for exactly that range is accepted then; a 200 answer starts the file again).
    // A continuation is asked for unencoded; one the server encodes anyway cannot be decoded on
    // its own, so the file starts again with a second request for the whole body.
    bool resume = false;
    const std::atomic<bool>* abort = nullptr; // set by shut-down: the transfer ends at once
    // Called on the calling thread with the bytes in ".part": once the first of the body are in,
    // then about ten times a second at most, and once more with the whole file on success.
    // expected is 0 while the size is unknown.
    std::function<void(std::uint64_t received, std::uint64_t expected)> progress;
    // Called on the calling thread with each piece of the body once it is in ".part" at offset,
    // so a caller can digest the bytes while they arrive. Pieces follow each other; offset 0
    // begins the file again (a 200 answer to a range request, or the whole body asked for
    // again), and a resumed file continues at the size of the part kept from before.
    std::function<void(std::uint64_t offset, const char* data, std::size_t size)> stored;
};

// Fixed values: callers may log or store them.
enum class DownloadError {
    None,
    BadUrl,     // not an http or https address, or not an address at all; detail says why
    Connect,    // no connection within connectTimeout (or the name did not resolve)
    HttpStatus, // an answer other than 200 (or 206 to a resumed request); httpStatus says which
    TooLarge,   // the body would take the file past maxBytes
    Stalled,    // no byte for stallLimit
    Aborted,    // the abort flag was set
    LocalFile,  // the destination or its ".part" cannot be used, or writing it failed
    Transfer,   // the connection failed or closed before the whole body arrived
    TooSlow,    // the average rate stayed below minRate
    TimedOut,   // the transfer did not end within totalLimit
};

struct DownloadResult {
    DownloadError error = DownloadError::None;
    long httpStatus = 0;
    std::uint64_t bytes = 0; // size of the committed file
    std::string detail;      // one line for the caller's log
    bool Ok() const { return error == DownloadError::None; }
};

// Runs on the calling thread (any thread) and blocks until done. GET url into destination: the
// body goes to destination + ".part" and is renamed over destination only on success (status
// 200, or 206 to a resumed request, with the whole body); on failure destination is as it was
// and ".part" is removed unless options.resume. A destination or ".part" that is a link or not a
// regular file is refused and left alone. Every content coding libcurl decodes is accepted, and
// what is stored is always the decoded body.
DownloadResult DownloadToFile(const std::string& url, const std::filesystem::path& destination,
                              const DownloadOptions& options);

// Process-wide set-up and clean-up of the HTTP library; call once each on the main thread, the
// clean-up only when no download runs any more.
bool InitializeNetwork();
void CleanupNetwork();

// A short English name of the error for log records.
const char* DescribeError(DownloadError error);

} // namespace net
