#pragma once
// Bringing one package of a version step into the program directory's "temp", checked.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "manifest.h"

namespace liveupdate {

struct FetchOptions {
    std::chrono::milliseconds connectTimeout;
    std::chrono::milliseconds stallLimit;
    const std::atomic<bool>* abort = nullptr;
    // Bytes of the package on disk so far, about ten times a second at most; never the whole
    // size, which only a checked package reaches.
    std::function<void(std::uint64_t done)> progress;
    // Whole copies that may still be fetched and checked: each that fails its size or SHA-256
    // uses one up.
    int checksLeft = 2;
};

enum class FetchResult { Ready, Failed, Aborted };

struct FetchReport {
    std::string why;      // of a Failed result, also in the module's records
    int failedChecks = 0; // copies that arrived and failed their size or SHA-256
};

// Runs on the caller's thread and blocks. Makes `destination` (in an existing directory) the
// package whose size and SHA-256 the manifest gives: a file already there that matches is kept,
// and so is a partial file (destination + ".part") already as long as the package, without a
// request; else it is fetched from url, continuing a partial download with a range request, also
// when the connection breaks or stalls after bringing some bytes. A copy that does not match is
// deleted and fetched again while checks are left (the digest is taken while the bytes arrive).
// Only a Ready result leaves `destination` in place.
FetchResult FetchPackage(const std::string& url, const std::filesystem::path& destination,
                         const Package& package, const FetchOptions& options, FetchReport& report);

} // namespace liveupdate
