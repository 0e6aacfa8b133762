// update_bench: the parts of a patch measured alone, for run.sh to set beside curl and beside a
// whole patch run by the launcher.
//   update_bench download PROGRAM_DIR MANIFEST_URL VERSION LVERSION
//       LiveUpdate.dll of PROGRAM_DIR connects and fetches every package into its "temp"
//       (download and SHA-256 check), with callbacks that do nothing.
//   update_bench install GAME_DIR PACKAGE
//       unpacks PACKAGE (".upd" or ".tre") beside itself and installs it over GAME_DIR.
// Each prints "<part> <seconds>" lines.
#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <string>

#include "launcher/globals.h"
#include "launcher/launcher.h"
#include "launcher/zip/unzip_package.h"
#include "liveupdate/live_patch.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void Ignore(const wchar_t*, int, int, bool, LivePatchModule*, bool, bool) {}
int IgnoreProgress(void*, double, double) {
    return 0;
}

int Download(const fs::path& programDir, const std::string& url, const std::string& version,
             const std::string& lversion) {
    fs::remove_all(programDir / "temp");
    void* module = dlopen((programDir / "LiveUpdate.dll").c_str(), RTLD_NOW | RTLD_LOCAL);
    auto get =
        module ? reinterpret_cast<GetLivePatchFunction>(dlsym(module, kGetLivePatchName)) : nullptr;
    LivePatch* patch = get ? get() : nullptr;
    if (patch == nullptr) {
        std::fprintf(stderr, "no LivePatch object from %s\n", programDir.c_str());
        return 1;
    }
    patch->processCallback = Ignore;
    patch->progressCallback = IgnoreProgress;
    patch->patchModule = reinterpret_cast<LivePatchModule*>(&patch);
    const auto start = Clock::now();
    const bool ok =
        patch->Connect(wxString::FromUTF8(url).wc_str(), wxString::FromUTF8(version).wc_str()) &&
        patch->StartUpdate(wxString::FromUTF8(version), wxString::FromUTF8(lversion));
    std::printf("download %.3f\n", SecondsSince(start));
    patch->Release();
    dlclose(module);
    return ok ? 0 : 1;
}

int Install(const fs::path& gameDir, const fs::path& package) {
    LauncherFrameWnd frame;
    TheLauncherFrame = &frame;
    frame.InstancePath = wxString::FromUTF8(gameDir.string() + "/");
    const fs::path dir = fs::path(package).replace_extension();
    const bool isTre = package.extension() == ".tre";
    auto start = Clock::now();
    const bool unpacked = UnzipPackage(dir.wstring(), isTre, {});
    std::printf("unzip %.3f\n", SecondsSince(start));
    start = Clock::now();
    const wxString source = wxString::FromUTF8(dir.string());
    const bool installed = unpacked && frame.FileTranvers(source, source, isTre);
    std::printf("install %.3f\n", SecondsSince(start));
    TheLauncherFrame = nullptr;
    return installed ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "download" && argc == 6)
        return Download(argv[2], argv[3], argv[4], argv[5]);
    if (mode == "install" && argc == 4)
        return Install(argv[2], argv[3]);
    std::fprintf(stderr, "usage: update_bench download PROGRAM_DIR MANIFEST_URL VERSION LVERSION\n"
                         "       update_bench install GAME_DIR PACKAGE\n");
    return 2;
}
