#include "live_patch_session.h"

#include <climits>
#include <cstdlib>
#include <system_error>

#include "addresses.h"
#include "bounded_read.h"
#include "failed_checks.h"
#include "net/http_download.h"
#include "package_fetch.h"
#include "records.h"
#include "step_chain.h"
#include "system/path.h"
#include "version_order.h"

namespace liveupdate {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kSignatureBytes = 64;
// The checked packages of the step being reported wait here, out of the launcher's "temp".
constexpr char kHeldDirectory[] = "temp.held";

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
    : programDirectory_(std::move(programDirectory)), key_(std::move(key)), limits_(limits) {
    // Packages held by a run that ended while it reported them: that step starts over anyway.
    std::error_code ignored;
    std::filesystem::remove_all(programDirectory_ / kHeldDirectory, ignored);
}

bool LivePatchSession::Aborted() const {
    return abort_ != nullptr && abort_->load();
}

std::optional<std::string> LivePatchSession::FetchSmallFile(const std::string& url,
                                                            const std::string& name,
                                                            std::uint64_t maxBytes,
                                                            Clock::time_point deadline,
                                                            std::string& why) const {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
        why = name + " not fetched: no time left of the " +
              std::to_string(limits_.manifestTotalLimit.count()) + " ms for the manifest";
        return std::nullopt;
    }
    ScratchDirectory scratch;
    if (scratch.path().empty()) {
        why = "no temporary directory for " + name;
        return std::nullopt;
    }
    net::DownloadOptions options;
    options.connectTimeout = limits_.connectTimeout;
    options.stallLimit = limits_.manifestStallLimit;
    options.totalLimit = left;
    options.maxBytes = maxBytes;
    options.abort = abort_;
    const net::DownloadResult result = net::DownloadToFile(url, scratch.path() / name, options);
    if (!result.Ok()) {
        why = name + " not fetched: " + FailureText(result);
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
    const Clock::time_point deadline = Clock::now() + limits_.manifestTotalLimit;
    std::string why;
    std::optional<std::string> manifest =
        FetchSmallFile(manifestUrl, "manifest.xml", kMaxManifestBytes, deadline, why);
    std::optional<std::string> signature =
        manifest ? FetchSmallFile(SignatureUrlOf(manifestUrl), "manifest.xml.sig", kSignatureBytes,
                                  deadline, why)
                 : std::nullopt;
    if (!signature) {
        Say(why);
        return false;
    }
    if (!key_->Verifies(*manifest, *signature)) {
        Say(manifestUrl + " refused: its signature does not verify with update.pub (signed with "
                          "another game's key, or changed after signing)");
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

std::string LivePatchSession::PackageUrl(const Package& package) const {
    return packageBaseUrl_ + package.name;
}

// Runs on the update worker, like the callbacks it makes.
LivePatchSession::Brought LivePatchSession::BringPackage(const Package& package) {
    const std::filesystem::path temp = programDirectory_ / "temp";
    const std::optional<std::wstring> wideName = platform::FromPath(temp / package.name);
    std::string why;
    if (!wideName) {
        Say(temp.string() + " is no UTF-8 path");
        return Brought::Failed;
    }
    if (!EnsureTempDirectory(temp, why)) {
        Say(why);
        return Brought::Failed;
    }
    const std::wstring& fileName = *wideName;
    ReportProcess(fileName.c_str(), 0, package.size, false, false);
    FetchOptions options{limits_.connectTimeout, limits_.packageStallLimit, abort_, {}};
    if (progressCallback != nullptr)
        options.progress = [&](std::uint64_t done) {
            progressCallback(this, static_cast<double>(package.size), static_cast<double>(done));
        };
    const std::string url = PackageUrl(package);
    options.checksLeft = kMaxFailedChecks - FailedChecks(url, package);
    FetchReport report;
    const FetchResult result = FetchPackage(url, temp / package.name, package, options, report);
    CountFailedChecks(url, package, report.failedChecks);
    if (result == FetchResult::Aborted)
        return Brought::Aborted;
    if (result == FetchResult::Failed)
        return Brought::Failed;
    downloadedBytes_ += package.size;
    // The whole size, reported once the package is checked (the fetch reports only less).
    if (progressCallback != nullptr)
        progressCallback(this, static_cast<double>(package.size),
                         static_cast<double>(package.size));
    ReportProcess(fileName.c_str(), package.size, package.size, false, false);
    return Brought::Ready;
}

void LivePatchSession::RemoveStepFiles(const Step& step) const {
    const std::filesystem::path temp = programDirectory_ / "temp";
    std::error_code ignored;
    for (const Package& package : step.packages) {
        std::filesystem::remove(temp / package.name, ignored);
        std::filesystem::remove(temp / (package.name + ".part"), ignored);
    }
    std::filesystem::remove_all(programDirectory_ / kHeldDirectory, ignored);
}

bool LivePatchSession::ReportFinished(const Step& step) {
    const std::filesystem::path temp = programDirectory_ / "temp";
    const std::filesystem::path held = programDirectory_ / kHeldDirectory;
    std::error_code error;
    std::filesystem::remove_all(held, error);
    std::filesystem::create_directory(held, error);
    for (const Package& package : step.packages) {
        if (!error)
            std::filesystem::rename(temp / package.name, held / package.name, error);
    }
    if (error) {
        Say(held.string() + " cannot hold the checked packages: " + error.message());
        return false;
    }
    std::string why;
    for (const Package& package : step.packages) {
        if (Aborted())
            return false;
        if (!EnsureTempDirectory(temp, why)) {
            Say(why);
            return false;
        }
        std::filesystem::rename(held / package.name, temp / package.name, error);
        if (error) {
            Say((temp / package.name).string() + " cannot be put back: " + error.message());
            return false;
        }
        const std::wstring fileName = *platform::FromPath(temp / package.name);
        ReportProcess(fileName.c_str(), package.size, package.size, true, false);
    }
    std::filesystem::remove(held, error);
    return true;
}

// Runs on the update worker, like the callbacks it makes. A step installs whole or not at all:
// its packages are reported finished only once every one of them is here and checked.
bool LivePatchSession::RunStep(const Step& step) {
    for (const Package& package : step.packages) {
        if (FailedChecks(PackageUrl(package), package) >= kMaxFailedChecks) {
            Say(package.name + " from " + PackageUrl(package) +
                " refused: it failed its size or "
                "SHA-256 check " +
                std::to_string(kMaxFailedChecks) + " times in this run and is not fetched again");
            RemoveStepFiles(step);
            return false;
        }
    }
    for (const Package& package : step.packages) {
        // A transfer cut by shut-down keeps what it brought, for the next start to continue.
        if (Aborted())
            return false;
        const Brought brought = BringPackage(package);
        if (brought == Brought::Aborted)
            return false;
        if (brought == Brought::Failed) {
            RemoveStepFiles(step);
            return false;
        }
    }
    if (Aborted())
        return false;
    if (!ReportFinished(step)) {
        RemoveStepFiles(step);
        return false;
    }
    return !Aborted();
}

// Runs on the update worker, like the callbacks it makes.
bool LivePatchSession::StartUpdate(const wxString& version, const wxString& lversion) {
    if (!manifest_) {
        Say("no manifest: StartUpdate needs a successful Connect first");
        return false;
    }
    // Versions never go back: an old manifest replayed, validly signed, is not an update.
    const std::string installedLauncher = lversion.utf8_string();
    if (CompareVersions(manifest_->launcher, installedLauncher) < 0) {
        Say("manifest refused: its launcher version " + manifest_->launcher +
            " is below the installed " + installedLauncher + " (an old manifest served again?)");
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
        if (!RunStep(*step))
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
