// The server-list loader over any bytes: as a plain list, as a file (scrambled or not) in the
// program directory, and the pre-selection over whatever model came out.
#include <string>
#include <utility>

#include "duilib/paint_manager.h"
#include "fuzz/support/check.h"
#include "fuzz/support/scratch_dir.h"
#include "launcher/config/scrambled_ini.h"
#include "launcher/ui/server_model.h"

using fuzzing::Check;

namespace {

void Preselect(const ServerAreas& areas) {
    ServerChoice saved;
    for (const ServerArea& area : areas)
        for (const ServerInfo& server : area.servers)
            saved = ServerChoice{server.address.Wide(), server.port.Wide(), server.chargeIp.Wide(),
                                 server.sid.Wide()};
    const ServerChoice current{L"10.0.0.1", L"7000", L"c", L"1"};
    for (int rule = 0; rule < 3; ++rule) {
        ServerChoice asked = saved;
        if (rule > 0)
            asked.sid = L"";
        if (rule > 1)
            asked.address = L"";
        const ServerPreselection picked = PreselectServer(areas, asked, current);
        // A matched server is one of the model's, and its values are the ones taken.
        Check((picked.server == nullptr) == (picked.area < 0));
        if (picked.server != nullptr) {
            Check(static_cast<size_t>(picked.area) < areas.size());
            Check(picked.server->sid == picked.values.sid);
            Check(picked.server->address == picked.values.address);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    ServerListLoad plain = ParseServerList(std::move(bytes));
    Check(plain.status == ServerListStatus::Loaded || plain.areas.empty());
    Preselect(plain.areas);

    const std::filesystem::path& dir = fuzzing::ScratchDir();
    DuiLib::CPaintManagerUI::SetInstance((dir.wstring() + L"/").c_str());
    fuzzing::WriteBytes(dir / "ServerList.xml",
                        std::string_view(reinterpret_cast<const char*>(data), size));
    const ServerListLoad file = LoadServerListFile(L"ServerList.xml", ScrambleKey.ToStdWstring());
    Check(file.status == ServerListStatus::Loaded || file.areas.empty());
    Preselect(file.areas);
    return 0;
}
