#include "launcher/update/live_patch_module.h"

#include <algorithm>
#include <cwchar>

#include "launcher/log.h"
#include "launcher/mythread.h"
#include "liveupdate/live_patch.h"

LivePatchModule::~LivePatchModule() {
    // A worker that did not stop at shut-down may still be inside the module: keep it mapped.
    if (RunningWorkers() == 0)
        Unload();
}

bool LivePatchModule::Load() {
    Unload();
    module = platform::LoadModule(L"LiveUpdate.dll");
    if (module == nullptr)
        return false;
    // Before the object is asked for, so that why none is offered reaches the log too.
    if (auto setSink = reinterpret_cast<SetLiveUpdateLogSinkFunction>(
            platform::FindModuleSymbol(module, kSetLiveUpdateLogSinkName)))
        setSink(&WriteLiveUpdateRecord);
    auto getLivePatch = reinterpret_cast<GetLivePatchFunction>(
        platform::FindModuleSymbol(module, kGetLivePatchName));
    patch = getLivePatch != nullptr ? getLivePatch() : nullptr;
    if (patch == nullptr) {
        Unload();
        return false;
    }
    patch->SetAbortFlag(&WorkerStopFlag());
    return true;
}

bool LivePatchModule::Connect(const wxString& address, const wxString& localVersion) {
    if (patch == nullptr || !patch->Connect(address.wc_str(), localVersion.wc_str()))
        return false;
    const std::wstring text = address.ToStdWstring();
    const size_t length = std::min(text.size(), std::size(url) - 1);
    std::wmemcpy(url, text.data(), length);
    url[length] = L'\0';
    version = localVersion;
    return true;
}

wxString LivePatchModule::GetLVersion() {
    return patch != nullptr ? patch->GetLVersion() : wxString(L"0");
}

void LivePatchModule::Unload() {
    if (patch != nullptr) {
        patch->Release();
        patch = nullptr;
    }
    if (module != nullptr) {
        platform::FreeModule(module);
        module = nullptr;
    }
}

LivePatchModule& TheLivePatchModule() {
    static LivePatchModule holder;
    return holder;
}

RepeatedRecords& UpdateRecords() {
    static auto* records = new RepeatedRecords;
    return *records;
}

void WriteLiveUpdateRecord(const char* text) {
    if (text != nullptr)
        LOG_ERROR_COLLAPSED(UpdateRecords(), L": LiveUpdate.dll: %s", wxString::FromUTF8(text));
}
