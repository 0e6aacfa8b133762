#pragma once
// The module's records: why an update is not offered, why a package or a manifest was refused.
// Every record goes to standard error and to the launcher's sink when one is attached; the
// launcher writes a record that comes again and again once, with its count. A record reads the
// same on every try of one failure, so that the launcher can tell repeats.
#include <string>

#include "liveupdate/live_patch.h"
#include "net/http_download.h"

namespace liveupdate {

// Any thread.
void Say(const std::string& text);

// Why a download failed, in the routine's fixed words and its detail, without the times in it
// ("after 12 ms"), so that one failure reads the same on every try.
std::string FailureText(const net::DownloadResult& result);

// Any thread. Attaches sink (null: none).
void AttachLogSink(LiveUpdateLogSink sink);

} // namespace liveupdate
