#pragma once
// The launcher's limits on what it fetches, in one place. The live-update module keeps its own
// (modules/liveupdate/src/module_limits.h); the figures below say how the two fit together. The
// download routine's own defaults (platform/net, net::DownloadOptions) apply wherever a limit
// is not set here: among them the rate floor, 1024 bytes/s averaged over 30 s, which can only
// end a transfer that has run for 30 s.
#include <chrono>
#include <cstdint>

// How long the update worker looks for an answering update address (from the prepared window),
// and then how long it lets the module run the patch (from the answer). One check tries the
// three addresses (CDNUpdateVersionUrl, UpdateVersionUrl1, UpdateVersionUrl2) in turn and the
// module gives each at most its manifest limit of 5 s, connect included, so a check where no
// address answers ends within this window: 3 x 5 s = 15 s.
inline constexpr uint32_t kAnswerWindowMs = 15000;

// Connecting to a server-list address: a list server is expected close by, and a pass tries
// two addresses up to three times.
inline constexpr long kServerListConnectSeconds = 1;
// A server-list server that answers and then sends nothing this long loses its attempt. One that
// keeps sending a trickle is ended by the rate floor once the attempt has run 30 s.
inline constexpr auto kServerListStallLimit = std::chrono::seconds(5);
// A list is never anywhere near this: a larger download is refused, and a larger file on disk
// is refused unread.
inline constexpr uint64_t kMaxServerListBytes = 16u * 1024 * 1024;
