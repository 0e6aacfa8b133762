// Handing over to the game client.
#include <wx/filefn.h>

#include "launcher/config/setup_config.h"
#include "launcher/launcher.h"
#include "system/registry.h"
#include "system/shell.h"

using namespace DuiLib;

namespace {

constexpr const wchar_t* LayersKey =
    L"Software\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";
// "~ " names no compatibility layer; the size counts both characters and the terminator.
constexpr const wchar_t* NoLayer = L"~ ";
constexpr uint32_t NoLayerBytes = 6;

} // namespace

// UI thread. The launcher is on its way out afterwards in every case.
void LauncherFrameWnd::StartGame() {
    SetupConfig::Instance()->Save();

    if (!wxFileExists(InstancePath + L"zel.exe")) {
        DuiLib::MessageBox(m_hWnd, L"游戏无法启动，缺少 zel.exe 文件或重新安装游戏！", L"错误",
                           MB_OK);
        DuiLib::PostMessage(m_hWnd, WM_QUIT, 0, 0);
        return;
    }

    // The key is only opened: a user without it gets no values.
    if (auto key = platform::RegistryKey::Open(LayersKey)) {
        key->SetString((InstancePath + L"launcher.exe").ToStdWstring(), NoLayer, NoLayerBytes);
        key->SetString((InstancePath + L"zel.exe").ToStdWstring(), NoLayer, NoLayerBytes);
    }

    const CStdString client = CPaintManagerUI::GetInstancePath() + L"zel.exe";
    platform::ShellOpen(client.GetData(), L"ws", L"");
    DuiLib::PostMessage(m_hWnd, WM_QUIT, 0, 0);
}
