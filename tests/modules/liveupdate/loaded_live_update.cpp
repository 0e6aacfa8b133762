#include "tests/modules/liveupdate/loaded_live_update.h"

#include <dlfcn.h>

#include "tests/support/zip_maker.h"

namespace testing_support {

void LoadedLiveUpdate::RecordProcess(const wchar_t* fileName, int bytesDone, int bytesTotal,
                                     bool finished, LivePatchModule* patchModule, bool launcherStep,
                                     bool noHandOver) {
    LoadedLiveUpdate& test = *current;
    std::string text;
    std::string fileSha256;
    if (fileName != nullptr) {
        const std::filesystem::path file = wxString(fileName).utf8_string();
        text = std::string(finished ? "finished " : "step ") +
               file.lexically_relative(test.programDir.path()).string() + " " +
               std::to_string(bytesDone) + "/" + std::to_string(bytesTotal);
        if (finished) {
            fileSha256 = Sha256Hex(ReadFile(file));
            if (test.deleteTempAfterUpd && file.extension() == ".upd")
                std::filesystem::remove_all(test.programDir / "temp");
        }
    } else if (finished)
        text = "end";
    else if (launcherStep)
        text = "versions launcher";
    else
        text = "versions game " + test.patch->GetCurVersion().utf8_string();
    test.processReports.push_back(
        {text, fileSha256, patchModule, noHandOver, std::this_thread::get_id()});
}

int LoadedLiveUpdate::RecordProgress(void* context, double total, double done) {
    current->progressReports.push_back({context, total, done, std::this_thread::get_id()});
    return 0;
}

void LoadedLiveUpdate::SetUp() {
    current = this;
    std::filesystem::copy_file(BinDir() / "LiveUpdate.dll", programDir / "LiveUpdate.dll");
    WriteFile(programDir / "update.pub", key.PublicPem());
    server = std::make_unique<TestServer>(releaseDir.path());
}

void LoadedLiveUpdate::TearDown() {
    if (patch != nullptr)
        patch->Release();
    if (module != nullptr)
        dlclose(module);
    current = nullptr;
}

LivePatch* LoadedLiveUpdate::Load() {
    if (module == nullptr)
        module = dlopen((programDir / "LiveUpdate.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        ADD_FAILURE() << dlerror();
        return nullptr;
    }
    const auto getLivePatch =
        reinterpret_cast<GetLivePatchFunction>(dlsym(module, kGetLivePatchName));
    if (getLivePatch == nullptr) {
        ADD_FAILURE() << "no " << kGetLivePatchName;
        return nullptr;
    }
    patch = getLivePatch();
    if (patch != nullptr) {
        patch->processCallback = RecordProcess;
        patch->progressCallback = RecordProgress;
        patch->patchModule = kPatchModule;
    }
    return patch;
}

std::string LoadedLiveUpdate::Package(const std::string& name, const std::string& bytes) const {
    WriteFile(releaseDir / name, bytes);
    return "<package name=\"" + name + "\" size=\"" + std::to_string(bytes.size()) +
           "\" sha256=\"" + Sha256Hex(bytes) + "\"/>";
}

void LoadedLiveUpdate::Publish(const std::string& manifest) const {
    WriteFile(releaseDir / "manifest.xml", manifest);
    WriteFile(releaseDir / "manifest.xml.sig", key.Sign(manifest));
}

bool LoadedLiveUpdate::Connect(const std::string& version) {
    const std::string narrowUrl = ManifestUrl();
    const std::wstring url(narrowUrl.begin(), narrowUrl.end());
    const std::wstring wideVersion(version.begin(), version.end());
    return patch->Connect(url.c_str(), wideVersion.c_str());
}

std::vector<std::string> LoadedLiveUpdate::ReportTexts() const {
    std::vector<std::string> texts;
    for (const ProcessReport& report : processReports)
        texts.push_back(report.text);
    return texts;
}

std::string ManifestXml(const std::string& game, const std::string& launcher,
                        const std::string& steps) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<update game=\"" + game + "\" launcher=\"" +
           launcher + "\">\n" + steps + "</update>\n";
}

std::string StepXml(const std::string& from, const std::string& to, const std::string& packages) {
    return "  <step from=\"" + from + "\" to=\"" + to + "\">" + packages + "</step>\n";
}

std::string PackageBytes(const std::string& seed) {
    return ZipBytes({{.name = "data/" + seed + ".txt", .data = "content of " + seed},
                     {.name = "del.lst", .data = "old/" + seed + ".txt\n"}});
}

} // namespace testing_support
