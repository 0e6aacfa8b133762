#pragma once
// The module's records: why an update is not offered, why a package or a manifest was refused.
// Every record goes to standard error; the launcher's sink, when one is attached, gets each
// distinct record once and, when the sink is detached or replaced, how often it came again, so a
// server that fails every try fills its log with one line per failure, not one per try.
#include <string>

#include "liveupdate/live_patch.h"
#include "net/http_download.h"

namespace liveupdate {

// Any thread.
void Say(const std::string& text);

// Why a download failed, in the routine's fixed words and its detail, without the times in it
// ("after 12 ms"), so that one failure reads the same on every try.
std::string FailureText(const net::DownloadResult& result);

// Any thread. Hands the repeat counts to the sink attached so far, then attaches sink (null:
// none).
void AttachLogSink(LiveUpdateLogSink sink);

} // namespace liveupdate
