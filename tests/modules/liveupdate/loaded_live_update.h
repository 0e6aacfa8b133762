#pragma once
// LiveUpdate.dll as the launcher meets it: the built module copied into a temporary program
// directory beside a fresh "update.pub", loaded with dlopen, its callbacks recorded, and a
// release tree (manifest, signature, packages) that a local HTTP server serves.
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "liveupdate/live_patch.h"
#include "tests/modules/liveupdate/release_signing.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"

namespace testing_support {

// One call of the process callback, as text: "step temp/a.upd 0/10", "finished temp/a.upd
// 10/10", "versions game 1.1" (with GetCurVersion then), "versions launcher", "end".
struct ProcessReport {
    std::string text;
    std::string fileSha256; // of a finished file, when it was reported
    LivePatchModule* patchModule;
    bool noHandOver;
    std::thread::id thread;
};

struct ProgressReport {
    void* context;
    double total;
    double done;
    std::thread::id thread;
};

class LoadedLiveUpdate : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // dlopen the copy and call GetLivePatch; the object (maybe null) is kept in patch, with the
    // recording callbacks and kPatchModule in its words.
    LivePatch* Load();
    // Writes bytes as a package file of the release tree and gives its manifest element.
    std::string Package(const std::string& name, const std::string& bytes) const;
    // Writes manifest.xml and its signature by key into the release tree.
    void Publish(const std::string& manifest) const;
    std::string ManifestUrl() const { return server->Url("/manifest.xml"); }
    bool Connect(const std::string& version);
    std::vector<std::string> ReportTexts() const;

    // The word given back to the process callback: any address the module must not touch.
    static inline int patchModuleToken = 0;
    LivePatchModule* const kPatchModule = reinterpret_cast<LivePatchModule*>(&patchModuleToken);

    TempDir programDir;
    TempDir releaseDir;
    SigningKey key;
    std::unique_ptr<TestServer> server;
    void* module = nullptr;
    LivePatch* patch = nullptr;
    std::vector<ProcessReport> processReports;
    std::vector<ProgressReport> progressReports;
    // As the launcher does once it installed a ".upd" package.
    bool deleteTempAfterUpd = false;

private:
    static void RecordProcess(const wchar_t* fileName, int bytesDone, int bytesTotal, bool finished,
                              LivePatchModule* patchModule, bool launcherStep, bool noHandOver);
    static int RecordProgress(void* context, double total, double done);
    static inline LoadedLiveUpdate* current = nullptr;
};

// A manifest with the given versions and step elements.
std::string ManifestXml(const std::string& game, const std::string& launcher,
                        const std::string& steps);
std::string StepXml(const std::string& from, const std::string& to, const std::string& packages);
// A small real zip archive whose content depends on seed.
std::string PackageBytes(const std::string& seed);

} // namespace testing_support
