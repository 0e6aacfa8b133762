#pragma once
// The live-update module's limits on what it fetches, in one place. The launcher keeps its own
// (launcher/limits.h); the figures below say how the two fit together. Every transfer also runs
// under the download routine's rate floor (net::DownloadOptions: 1024 bytes/s averaged over
// 30 s), which the module leaves at its default: it only ends a package that trickles.
#include <chrono>
#include <cstdint>

namespace liveupdate {

// The time limits of one session. Tests shorten both stall limits together through
// LIVEUPDATE_STALL_LIMIT_MS (get_live_patch.cpp).
struct SessionLimits {
    // Connecting to an update server, for the manifest and for every package. A manifest
    // address gets less in fact: its connect counts against manifestTotalLimit.
    std::chrono::milliseconds connectTimeout{std::chrono::seconds(10)};
    // The manifest is small: a server that stops sending it is given up on sooner than a
    // package's server.
    std::chrono::milliseconds manifestStallLimit{std::chrono::seconds(5)};
    // The manifest and its signature together, connect included, per address: the launcher
    // tries three addresses within its 15000 ms window (kAnswerWindowMs), so one address may
    // take at most a third of it.
    std::chrono::milliseconds manifestTotalLimit{std::chrono::seconds(5)};
    // A package's server that sends nothing this long loses the attempt (it is resumed up to
    // kMaxResumes times). Packages have no total limit: a large one on a slow line may take
    // long, as long as it keeps above the rate floor.
    std::chrono::milliseconds packageStallLimit{std::chrono::seconds(30)};
};

// A manifest is a few kilobytes; a larger answer is refused.
inline constexpr std::uint64_t kMaxManifestBytes = 1 << 20;
// Continuations of one package transfer that keeps breaking off after some bytes.
inline constexpr int kMaxResumes = 3;
// Copies of one package that may fail their size or hash check in one process before it is
// given up.
inline constexpr int kMaxFailedChecks = 2;

} // namespace liveupdate
