// The module's exports: a LivePatch object for the program directory the module was loaded from,
// and the launcher's sink for the module's records.
#include <charconv>
#include <cstdlib>
#include <dlfcn.h>
#include <string_view>
#include <system_error>

#include "live_patch_session.h"
#include "records.h"

namespace {

// Any object of the module: dladdr names the file it was loaded from.
const char kModuleAnchor = 0;

// Tests shorten the stall limits through the environment instead of waiting half a minute.
liveupdate::SessionLimits LimitsFromEnvironment() {
    liveupdate::SessionLimits limits;
    const char* text = std::getenv("LIVEUPDATE_STALL_LIMIT_MS");
    const std::string_view value = text != nullptr ? text : "";
    long milliseconds = 0;
    const auto [end, error] =
        std::from_chars(value.data(), value.data() + value.size(), milliseconds);
    if (!value.empty() && error == std::errc() && end == value.data() + value.size() &&
        milliseconds >= 50 && milliseconds <= 600000) {
        limits.manifestStallLimit = std::chrono::milliseconds(milliseconds);
        limits.packageStallLimit = std::chrono::milliseconds(milliseconds);
    }
    return limits;
}

} // namespace

extern "C" __attribute__((visibility("default"))) LivePatch* GetLivePatch() {
    Dl_info info{};
    if (dladdr(&kModuleAnchor, &info) == 0 || info.dli_fname == nullptr) {
        liveupdate::Say("the module's own file is unknown: no update is offered");
        return nullptr;
    }
    std::error_code error;
    const std::filesystem::path programDirectory =
        std::filesystem::absolute(info.dli_fname, error).parent_path();
    std::string why;
    std::unique_ptr<liveupdate::PublicKey> key =
        liveupdate::PublicKey::Load(programDirectory / "update.pub", why);
    if (!key) {
        liveupdate::Say(why + ": no update is offered");
        return nullptr;
    }
    return new liveupdate::LivePatchSession(programDirectory, std::move(key),
                                            LimitsFromEnvironment());
}

extern "C" __attribute__((visibility("default"))) void
SetLiveUpdateLogSink(LiveUpdateLogSink sink) {
    liveupdate::AttachLogSink(sink);
}
