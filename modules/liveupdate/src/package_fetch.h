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
};

enum class FetchResult { Ready, Failed, Aborted };

// Runs on the caller's thread and blocks. Makes `destination` (in an existing directory) the
// package whose size and SHA-256 the manifest gives: a file already there that matches is kept;
// else it is fetched from url, continuing a partial download (destination + ".part") with a range
// request, also when the connection breaks or stalls after bringing some bytes. A file that does
// not match is deleted and fetched once more (the digest is taken while the bytes arrive); Failed,
// with the reason in `why`, when the second one does not match either or a transfer fails. Only a
// Ready result leaves `destination` in place.
FetchResult FetchPackage(const std::string& url, const std::filesystem::path& destination,
                         const Package& package, const FetchOptions& options, std::string& why);

} // namespace liveupdate
