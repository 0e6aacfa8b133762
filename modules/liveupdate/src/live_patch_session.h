#pragma once
// The LivePatch object: one update session of the launcher against one server at a time.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "liveupdate/live_patch.h"
#include "manifest.h"
#include "module_limits.h"
#include "signature.h"

namespace liveupdate {

class LivePatchSession final : public LivePatch {
public:
    // programDirectory is where "temp" goes; the key checks every manifest.
    LivePatchSession(std::filesystem::path programDirectory, std::unique_ptr<PublicKey> key,
                     SessionLimits limits);

    bool Connect(const wchar_t* url, const wchar_t* version) override;
    bool StartUpdate(const wxString& version, const wxString& lversion) override;
    wxString GetCurVersion() override;
    wxString GetVersion() override;
    wxString GetLVersion() override;
    std::uint32_t GetDownloadedBytes() override;
    void Release() override;
    void SetAbortFlag(const std::atomic<bool>* abort) override;

private:
    ~LivePatchSession() override = default;

    bool Aborted() const;
    // A file of at most maxBytes, fetched whole before deadline.
    std::optional<std::string> FetchSmallFile(const std::string& url, const std::string& name,
                                              std::uint64_t maxBytes,
                                              std::chrono::steady_clock::time_point deadline,
                                              std::string& why) const;
    // Fetches one package and reports its download steps; Ready once it is checked.
    enum class Brought { Ready, Failed, Aborted };
    Brought BringPackage(const Package& package);
    // Brings every package of step, then reports each finished; false when the step cannot be
    // had whole (nothing of it is reported finished then) or the abort flag was set.
    bool RunStep(const Step& step);
    // Reports the step's checked packages finished, each moved into "temp" just before its
    // report: the launcher may empty "temp" once it installed one.
    bool ReportFinished(const Step& step);
    // What a step that failed left in "temp" and in the held directory.
    void RemoveStepFiles(const Step& step) const;
    std::string PackageUrl(const Package& package) const;
    void ReportProcess(const wchar_t* fileName, std::uint64_t done, std::uint64_t total,
                       bool finished, bool launcherStep) const;

    const std::filesystem::path programDirectory_;
    const std::unique_ptr<PublicKey> key_;
    const SessionLimits limits_;
    const std::atomic<bool>* abort_ = nullptr;
    std::optional<Manifest> manifest_;
    std::string packageBaseUrl_; // the manifest's URL up to its last "/"
    wxString curVersion_;
    std::uint64_t downloadedBytes_ = 0;
};

} // namespace liveupdate
