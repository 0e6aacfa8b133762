#include "live_patch_session.h"

#include <climits>
#include <cstdlib>
#include <system_error>

#include "bounded_read.h"
#include "net/http_download.h"
#include "package_fetch.h"
#include "say.h"
#include "step_chain.h"
#include "system/path.h"

namespace liveupdate {

namespace {

constexpr std::uint64_t kMaxManifestBytes = 1 << 20;
constexpr std::uint64_t kSignatureBytes = 64;

// Packages sit beside the manifest: its URL without query or fragment, up to its last "/".
std::string DirectoryOf(const std::string& url) {
    const std::string path = url.substr(0, url.find_first_of("?#"));
    const size_t scheme = path.find("://");
    const size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos || slash < hostStart)
        return path + "/";
    return path.substr(0, slash + 1);
}

// A private directory for the manifest's download, removed with it.
class ScratchDirectory {
public:
    ScratchDirectory() {
        std::error_code error;
        std::string pattern = std::filesystem::temp_directory_path(error) / "liveupdate-XXXXXX";
        if (!error && mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// "temp" in the program directory, made when missing; never followed through a link.
bool EnsureTempDirectory(const std::filesystem::path& temp, std::string& why) {
    std::error_code error;
    std::filesystem::create_directory(temp, error);
    if (!error && !std::filesystem::is_symlink(temp, error) &&
        std::filesystem::is_directory(temp, error))
        return true;
    why = temp.string() + " cannot be used as the download directory";
    return false;
}

// The process callback takes 32-bit counts: larger sizes are scaled down together.
int ScaledBytes(std::uint64_t bytes, std::uint64_t total) {
    int shift = 0;
    while ((total >> shift) > INT_MAX)
        ++shift;
    return static_cast<int>(bytes >> shift);
}

} // namespace

LivePatchSession::LivePatchSession(std::filesystem::path programDirectory,
                                   std::unique_ptr<PublicKey> key, SessionLimits limits)
    : programDirectory_(std::move(programDirectory)), key_(std::move(key)), limits_(limits) {}

bool LivePatchSession::Aborted() const {
    return abort_ != nullptr && abort_->load();
}

std::optional<std::string> LivePatchSession::FetchSmallFile(const std::string& url,
                                                            const std::string& name,
                                                            std::uint64_t maxBytes,
                                                            std::string& why) const {
    ScratchDirectory scratch;
    if (scratch.path().empty()) {
        why = "no temporary directory for " + name;
        return std::nullopt;
    }
    net::DownloadOptions options;
    options.connectTimeout = limits_.connectTimeout;
    options.stallLimit = limits_.manifestStallLimit;
    options.maxBytes = maxBytes;
    options.abort = abort_;
    const net::DownloadResult result = net::DownloadToFile(url, scratch.path() / name, options);
    if (!result.Ok()) {
        why = result.detail;
        return std::nullopt;
    }
    return ReadBoundedFile(scratch.path() / name, maxBytes, why);
}

// Runs on the update worker.
bool LivePatchSession::Connect(const wchar_t* url, const wchar_t* version) {
    manifest_.reset();
    if (url == nullptr || version == nullptr)
        return false;
    curVersion_ = version;
    const std::string manifestUrl = wxString(url).utf8_string();
    std::string why;
    std::optional<std::string> manifest =
        FetchSmallFile(manifestUrl, "manifest.xml", kMaxManifestBytes, why);
    std::optional<std::string> signature =
        manifest ? FetchSmallFile(manifestUrl + ".sig", "manifest.xml.sig", kSignatureBytes, why)
                 : std::nullopt;
    if (!signature) {
        Say(why);
        return false;
    }
    if (!key_->Verifies(*manifest, *signature)) {
        Say(manifestUrl + ": the manifest's signature does not verify with update.pub");
        return false;
    }
    manifest_ = ParseManifest(*manifest, why);
    if (!manifest_) {
        Say(manifestUrl + ": " + why);
        return false;
    }
    packageBaseUrl_ = DirectoryOf(manifestUrl);
    return true;
}

void LivePatchSession::ReportProcess(const wchar_t* fileName, std::uint64_t done,
                                     std::uint64_t total, bool finished, bool launcherStep) const {
    if (processCallback != nullptr)
        processCallback(fileName, ScaledBytes(done, total), ScaledBytes(total, total), finished,
                        patchModule, launcherStep, false);
}

// Runs on the update worker, like the callbacks it makes.
bool LivePatchSession::BringPackage(const Package& package) {
    const std::filesystem::path temp = programDirectory_ / "temp";
    const std::optional<std::wstring> wideName = platform::FromPath(temp / package.name);
    std::string why;
    if (!wideName) {
        Say(temp.string() + " is no UTF-8 path");
        return false;
    }
    if (!EnsureTempDirectory(temp, why)) {
        Say(why);
        return false;
    }
    const std::wstring& fileName = *wideName;
    ReportProcess(fileName.c_str(), 0, package.size, false, false);
    FetchOptions options{limits_.connectTimeout, limits_.packageStallLimit, abort_, {}};
    if (progressCallback != nullptr)
        options.progress = [&](std::uint64_t done) {
            progressCallback(this, static_cast<double>(package.size), static_cast<double>(done));
        };
    const FetchResult result =
        FetchPackage(packageBaseUrl_ + package.name, temp / package.name, package, options, why);
    if (result != FetchResult::Ready) {
        if (result == FetchResult::Failed)
            Say(why);
        return false;
    }
    downloadedBytes_ += package.size;
    // The whole size, reported once the package is checked (the fetch reports only less).
    if (progressCallback != nullptr)
        progressCallback(this, static_cast<double>(package.size),
                         static_cast<double>(package.size));
    ReportProcess(fileName.c_str(), package.size, package.size, false, false);
    ReportProcess(fileName.c_str(), package.size, package.size, true, false);
    return true;
}

// Runs on the update worker, like the callbacks it makes.
bool LivePatchSession::StartUpdate(const wxString& version, const wxString& lversion) {
    if (!manifest_) {
        Say("no manifest: StartUpdate needs a successful Connect first");
        return false;
    }
    std::string why;
    const std::optional<std::vector<const Step*>> chain =
        FollowSteps(*manifest_, version.utf8_string(), why);
    if (!chain) {
        Say(why);
        return false;
    }
    for (const Step* step : *chain) {
        for (const Package& package : step->packages) {
            if (Aborted() || !BringPackage(package))
                return false;
        }
        if (Aborted())
            return false;
        curVersion_ = wxString::FromUTF8(step->to);
        ReportProcess(nullptr, 0, 0, false, false);
    }
    if (Aborted())
        return false;
    if (lversion != wxString::FromUTF8(manifest_->launcher))
        ReportProcess(nullptr, 0, 0, false, true);
    ReportProcess(nullptr, 0, 0, true, false);
    return true;
}

wxString LivePatchSession::GetCurVersion() {
    return curVersion_;
}

wxString LivePatchSession::GetVersion() {
    return manifest_ ? wxString::FromUTF8(manifest_->game) : wxString();
}

wxString LivePatchSession::GetLVersion() {
    return manifest_ ? wxString::FromUTF8(manifest_->launcher) : wxString();
}

std::uint32_t LivePatchSession::GetDownloadedBytes() {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(downloadedBytes_, UINT32_MAX));
}

void LivePatchSession::Release() {
    delete this;
}

void LivePatchSession::SetAbortFlag(const std::atomic<bool>* abort) {
    abort_ = abort;
}

} // namespace liveupdate
