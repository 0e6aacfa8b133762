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
#include "signature.h"

namespace liveupdate {

struct SessionLimits {
    std::chrono::milliseconds connectTimeout{std::chrono::seconds(10)};
    // The manifest is small: a server that stops sending it is given up on sooner.
    std::chrono::milliseconds manifestStallLimit{std::chrono::seconds(5)};
    std::chrono::milliseconds packageStallLimit{std::chrono::seconds(30)};
};

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
    std::optional<std::string> FetchSmallFile(const std::string& url, const std::string& name,
                                              std::uint64_t maxBytes, std::string& why) const;
    // Fetches one package and reports its download steps and, once checked, its finish.
    bool BringPackage(const Package& package);
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
