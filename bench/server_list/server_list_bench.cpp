// Times what the update window does with a fresh server list: load the file into the model, fill
// the drop-down's list with area 0 and pre-select the saved server (found in area 2, so the
// search covers three areas), beside a bare pugixml parse of the same file. The list has 10,000
// servers in 100 areas; it lies in a directory under $TMPDIR (default /tmp), removed at the end.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "bench/support/rounds.h"
#include "duilib/controls.h"
#include "duilib/paint_manager.h"
#include "launcher/ui/server_model.h"

namespace {

namespace fs = std::filesystem;

constexpr int kAreas = 100;
constexpr int kServersPerArea = 100;
const wchar_t* const kKey = L"PaxLorQ884021mit552";

fs::path workDir;

void WriteList(const fs::path& file) {
    std::ofstream out(file, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<tavi>\n";
    for (int a = 0; a < kAreas; ++a) {
        out << "  <area pid=\"" << a << "\" name=\"\xE5\x8C\xBA " << a << "\">\n";
        for (int s = 0; s < kServersPerArea; ++s) {
            const int sid = a * kServersPerArea + s;
            out << "    <server sid=\"" << sid << "\" name=\"\xE6\x9C\x8D\xE5\x8A\xA1\xE5\x99\xA8 "
                << sid << "\" address=\"10." << a << "." << s / 256 << "." << s % 256
                << "\" chargeIp=\"http://pay.example/charge?sid=" << sid << "\" port=\"" << 7000 + s
                << "\" state=\"" << sid % 3 << "\"/>\n";
        }
        out << "  </area>\n";
    }
    out << "</tavi>\n";
}

// The update window's order: load beside the current model, empty the list (its items point at
// the current records), replace the model, fill the list with area 0, pre-select.
bool LoadShowAndPreselect(DuiLib::CListUI& list, ServerAreas& model) {
    const ServerChoice saved{L"10.2.0.50", L"7050", L"", L"250"};
    ServerListLoad load = LoadServerListFile(L"ServerList.xml", kKey);
    if (load.status != ServerListStatus::Loaded || load.areas.empty())
        return false;
    list.RemoveAll();
    model = std::move(load.areas);
    for (ServerInfo& server : model[0].servers) {
        auto* item = new DuiLib::CListLabelElementUI;
        if (!list.Add(item)) {
            delete item;
            continue;
        }
        item->SetText(server.name.Wide());
        item->SetUserPtrData(&server);
    }
    return PreselectServer(model, saved, ServerChoice{}).area == 2;
}

bool BarePugixmlParse(const std::string& path) {
    pugi::xml_document document;
    return document.load_file(path.c_str(), pugi::parse_default, pugi::encoding_utf8) &&
           document.document_element();
}

} // namespace

// Usage: server_list_bench [ROUNDS] (default 30)
int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 30;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = (fs::path(tmp ? tmp : "/tmp") / "server-list-bench-XXXXXX").string();
    if (rounds < 1 || mkdtemp(pattern.data()) == nullptr)
        return 1;
    workDir = pattern;
    WriteList(workDir / "ServerList.xml");
    DuiLib::CPaintManagerUI::SetInstance((workDir.wstring() + L"/").c_str());
    std::printf("list: %d servers in %d areas, %ju bytes, %d rounds\n", kAreas * kServersPerArea,
                kAreas, static_cast<uintmax_t>(fs::file_size(workDir / "ServerList.xml")), rounds);

    bool ok = false;
    {
        DuiLib::CListUI list;
        ServerAreas model;
        const std::string path = (workDir / "ServerList.xml").string();
        std::vector<BenchTool> tools = {
            {"load + show + pre-select", {}, [&] { return LoadShowAndPreselect(list, model); }},
            {"bare pugixml parse", {}, [&] { return BarePugixmlParse(path); }},
        };
        ok = RunRounds(tools, rounds);
        if (ok)
            PrintRatios(tools, {1});
        list.RemoveAll();
    }
    fs::remove_all(workDir);
    return ok ? 0 : 1;
}
