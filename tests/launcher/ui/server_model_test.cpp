#include "launcher/ui/server_model.h"

#include <sys/stat.h>

#include "tests/launcher/config/program_dir_test.h"

namespace {

using DuiLib::CStdString;

// One line per area, "pid name: {name|sid|address|port|chargeIp|state} ...", for comparing
// whole models at once.
std::wstring Describe(const ServerAreas& areas) {
    std::wstring text;
    for (const ServerArea& area : areas) {
        text += std::to_wstring(area.pid) + L" " + area.name.str() + L":";
        for (const auto& s : area.servers) {
            text += L" {" + s->name.str() + L"|" + s->sid.str() + L"|" + s->address.str() + L"|" +
                    s->port.str() + L"|" + s->chargeIp.str() + L"|" + std::to_wstring(s->state) +
                    L"}";
        }
        text += L"\n";
    }
    return text;
}

ServerListLoad Parse(std::string bytes) {
    return ParseServerList(bytes);
}

std::unique_ptr<ServerInfo> Server(const wchar_t* name, const wchar_t* sid, const wchar_t* address,
                                   const wchar_t* port, const wchar_t* chargeIp) {
    auto server = std::make_unique<ServerInfo>();
    server->name = name;
    server->sid = sid;
    server->address = address;
    server->port = port;
    server->chargeIp = chargeIp;
    return server;
}

// Four areas; sid "7" is in areas 0 and 2, sid "9" only in area 3, sid "5" lacks a chargeIp.
ServerAreas FourAreas() {
    ServerAreas areas(4);
    areas[0].servers.push_back(Server(L"", L"1", L"10.0.0.1", L"7000", L"http://c1"));
    areas[0].servers.push_back(Server(L"North", L"7", L"10.0.0.7", L"7000", L"http://c7"));
    areas[0].servers.push_back(Server(L"East", L"8", L"10.0.0.8", L"", L"http://c8"));
    areas[1].servers.push_back(Server(L"Plain", L"5", L"10.0.1.5", L"7001", L""));
    areas[2].servers.push_back(Server(L"Far", L"7", L"10.0.2.7", L"7002", L"http://c27"));
    areas[2].servers.push_back(Server(L"Far 2", L"7", L"10.0.2.8", L"7002", L"http://c28"));
    areas[3].servers.push_back(Server(L"Hidden", L"9", L"10.0.3.9", L"7003", L"http://c9"));
    return areas;
}

ServerChoice Saved(const wchar_t* sid, const wchar_t* address, const wchar_t* port) {
    return ServerChoice{address, port, L"", sid};
}

const ServerChoice kPicked{L"10.9.9.9", L"9999", L"http://picked", L"99"};

class ServerListFileTest : public ProgramDirTest {
protected:
    ServerListLoad Load() { return LoadServerListFile(L"ServerList.xml", ScrambleKey.wc_str()); }
};

constexpr const char* kSmallList =
    "<tavi><area pid=\"3\" name=\"One\"><server sid=\"11\" name=\"S\" address=\"h\" "
    "chargeIp=\"c\" port=\"1\" state=\"2\"/></area></tavi>";
constexpr const wchar_t* kSmallModel = L"3 One: {S|11|h|1|c|2}\n";

} // namespace

TEST(ServerListFormat, ReadsAreasAndServersInDocumentOrderAndSkipsEverythingElse) {
    const ServerListLoad load = Parse(R"(<?xml version="1.0" encoding="utf-8"?>
<tavi>
  <!-- areas in document order -->
  <area pid="  -12x" name="Electric &amp; &lt;1&gt;" extra="ignored">
    <server sid="101" name=" Padded " address="1.2.3.4" chargeIp="http://pay/" port="07000"
            state="3" note="ignored">text and <child/> are not read</server>
    <server name="first" name="last"/>
    <Server sid="skipped: names are case-sensitive"/>
    <group><server sid="skipped: not a child of the area"/></group>
  </area>
  <extra><area name="skipped: not a child of the root"/></extra>
  <AREA name="skipped"/>
  <area><server sid="skipped: an area without attributes reads no servers"/></area>
  <area other="1"><server sid="202" state="99999999999" name="&#x4E1C;&#x533A;"/></area>
  <area pid="abc" name=""/>
</tavi>)");
    ASSERT_EQ(load.status, ServerListStatus::Loaded) << load.reason;
    EXPECT_EQ(Describe(load.areas),
              L"-12 Electric & <1>: { Padded |101|1.2.3.4|07000|http://pay/|3}"
              L" {last|||||0}\n"
              L"0 :\n"
              L"0 : {\u4E1C\u533A|202||||2147483647}\n"
              L"0 :\n");
}

TEST(ServerListFormat, KeepsControlCharactersAndOddTextAsText) {
    const ServerListLoad load = Parse("<tavi><area name=\"a&#9;b\"><server name=\"%s%n&#1;\" "
                                      "address=\"h&#10;x\" port=\"-1\" sid=\"\xE2\x80\xAE\"/>"
                                      "</area></tavi>");
    ASSERT_EQ(load.status, ServerListStatus::Loaded);
    EXPECT_EQ(Describe(load.areas), L"0 a\tb: {%s%n\x01|\u202E|h\nx|-1||0}\n");
}

TEST(ServerListFormat, RootDecidesWhetherTheModelIsReplaced) {
    EXPECT_EQ(Parse("<Tavi><area name=\"x\"/></Tavi>").status, ServerListStatus::NotServerList);
    EXPECT_EQ(Parse("<list/>").status, ServerListStatus::NotServerList);
    const ServerListLoad empty = Parse("<tavi/>");
    EXPECT_EQ(empty.status, ServerListStatus::Loaded);
    EXPECT_TRUE(empty.areas.empty());
    for (const char* malformed : {"", "<tavi>", "<tavi><area></tavi>", "tavi", "<tavi a=\"1/>"}) {
        const ServerListLoad load = Parse(malformed);
        EXPECT_EQ(load.status, ServerListStatus::Failed) << malformed;
        EXPECT_FALSE(load.reason.empty());
    }
}

TEST(ServerListFormat, HugeAttributeCountsAndDeepNestingStayLinear) {
    std::string server = "<server";
    for (int i = 0; i < 200000; ++i)
        server += " a" + std::to_string(i) + "=\"v\"";
    for (int i = 0; i < 1000; ++i)
        server += " sid=\"" + std::to_string(i) + "\"";
    server += "/>";
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<d>";
    for (int i = 0; i < 100000; ++i)
        deep += "</d>";
    const ServerListLoad load =
        Parse("<tavi><area name=\"a\">" + server + deep + "</area>" + deep + "</tavi>");
    ASSERT_EQ(load.status, ServerListStatus::Loaded);
    EXPECT_EQ(Describe(load.areas), L"0 a: {|999||||0}\n");
}

TEST_F(ServerListFileTest, LoadsAPlainListAndLeavesNoCopy) {
    Write("ServerList.xml", kSmallList);
    const ServerListLoad load = Load();
    ASSERT_EQ(load.status, ServerListStatus::Loaded) << load.reason;
    EXPECT_EQ(Describe(load.areas), kSmallModel);
    EXPECT_EQ(Entries(), std::set<std::string>{"ServerList.xml"});
}

TEST_F(ServerListFileTest, ScrambledListIsDecodedThroughACopyThatIsDeletedAfter) {
    Write("ServerList.xml", Scramble(std::string(kSmallList) + "\n"));
    // A leftover copy that is a link: removed before decoding, never written through.
    Write("sentinel", "keep");
    std::filesystem::create_symlink(File("sentinel"), File("ServerList.xml.tmp"));
    const ServerListLoad load = Load();
    ASSERT_EQ(load.status, ServerListStatus::Loaded) << load.reason;
    EXPECT_EQ(Describe(load.areas), kSmallModel);
    EXPECT_EQ(Entries(), (std::set<std::string>{"ServerList.xml", "sentinel"}));
    EXPECT_EQ(Read("sentinel"), "keep");
}

TEST_F(ServerListFileTest, UndecodableListFailsAndKeepsItsCopyForTheNextLoad) {
    Write("ServerList.xml", "\x01\x02 not xml");
    const ServerListLoad load = Load();
    EXPECT_EQ(load.status, ServerListStatus::Failed);
    EXPECT_NE(load.reason.find("not well-formed"), std::string::npos) << load.reason;
    EXPECT_TRUE(std::filesystem::exists(File("ServerList.xml.tmp")));

    Write("ServerList.xml", Scramble("<list/>"));
    EXPECT_EQ(Load().status, ServerListStatus::NotServerList);
    EXPECT_EQ(Entries(), std::set<std::string>{"ServerList.xml"});
}

TEST_F(ServerListFileTest, RefusesFilesThatAreNotSmallRegularFiles) {
    std::string limit = std::string(kSmallList) + "<!--";
    limit += std::string(kMaxServerListBytes - limit.size() - 3, 'x') + "-->";
    Write("ServerList.xml", limit);
    const ServerListLoad atLimit = Load();
    ASSERT_EQ(atLimit.status, ServerListStatus::Loaded) << atLimit.reason;
    EXPECT_EQ(Describe(atLimit.areas), kSmallModel);

    Write("ServerList.xml", limit + " ");
    const ServerListLoad over = Load();
    EXPECT_EQ(over.status, ServerListStatus::Failed);
    EXPECT_NE(over.reason.find("16777217 bytes"), std::string::npos) << over.reason;

    std::filesystem::remove(File("ServerList.xml"));
    ASSERT_EQ(mkfifo(File("ServerList.xml").c_str(), 0600), 0);
    EXPECT_EQ(Load().status, ServerListStatus::Failed) << "a FIFO must not block the load";

    std::filesystem::remove(File("ServerList.xml"));
    std::filesystem::create_symlink("/dev/zero", File("ServerList.xml"));
    EXPECT_EQ(Load().status, ServerListStatus::Failed);

    std::filesystem::remove(File("ServerList.xml"));
    std::filesystem::create_directory(File("ServerList.xml"));
    EXPECT_EQ(Load().status, ServerListStatus::Failed);

    std::filesystem::remove(File("ServerList.xml"));
    EXPECT_EQ(Load().status, ServerListStatus::Failed);
    // None of them was taken for a scrambled list.
    EXPECT_FALSE(std::filesystem::exists(File("ServerList.xml.tmp")));
}

TEST(ServerPreselection, RuleALaterAreaWinsAndOnlyTheFirstThreeAreasCount) {
    const ServerAreas areas = FourAreas();
    const ServerPreselection both = PreselectServer(areas, Saved(L"7", L"", L""), kPicked);
    EXPECT_EQ(both.area, 2);
    EXPECT_EQ(both.server, areas[2].servers[0].get()) << "the first match within an area";
    EXPECT_EQ(both.values, (ServerChoice{L"10.0.2.7", L"7002", L"http://c27", L"7"}));
    EXPECT_EQ(both.serverButtonText, CStdString(L"Far"));
    EXPECT_FALSE(both.clearChoice);

    const ServerPreselection fourth = PreselectServer(areas, Saved(L"9", L"", L""), kPicked);
    EXPECT_EQ(fourth.server, nullptr);
    EXPECT_EQ(fourth.values, ServerChoice{});
    EXPECT_EQ(fourth.serverButtonText, CStdString(L""));
    EXPECT_TRUE(fourth.clearChoice);
}

TEST(ServerPreselection, RuleBRunsOnlyWithoutASavedSid) {
    const ServerAreas areas = FourAreas();
    // The address and port would match area 0's "North", but the saved sid matches nothing.
    const ServerPreselection sidMissing =
        PreselectServer(areas, Saved(L"404", L"10.0.0.7", L"7000"), kPicked);
    EXPECT_EQ(sidMissing.server, nullptr);
    EXPECT_EQ(sidMissing.values, ServerChoice{});
    EXPECT_TRUE(sidMissing.clearChoice);

    const ServerPreselection byAddress =
        PreselectServer(areas, Saved(L"", L"10.0.0.7", L"7000"), ServerChoice{});
    EXPECT_EQ(byAddress.server, areas[0].servers[1].get());
    EXPECT_EQ(byAddress.values, (ServerChoice{L"10.0.0.7", L"7000", L"http://c7", L"7"}));
    EXPECT_EQ(byAddress.serverButtonText, CStdString(L"North"));

    // An empty saved port matches only an empty port, which leaves the choice incomplete.
    const ServerPreselection emptyPort =
        PreselectServer(areas, Saved(L"", L"10.0.0.8", L""), kPicked);
    EXPECT_EQ(emptyPort.server, areas[0].servers[2].get());
    EXPECT_TRUE(emptyPort.clearChoice);
    EXPECT_EQ(PreselectServer(areas, Saved(L"", L"10.0.0.7", L""), kPicked).server, nullptr);
}

TEST(ServerPreselection, MatchWithoutChargeIpEmptiesTheButtonAndDisablesEntering) {
    const ServerAreas areas = FourAreas();
    const ServerPreselection plain = PreselectServer(areas, Saved(L"5", L"", L""), kPicked);
    EXPECT_EQ(plain.area, 1);
    EXPECT_EQ(plain.values, (ServerChoice{L"10.0.1.5", L"7001", L"", L"5"}));
    EXPECT_EQ(plain.serverButtonText, CStdString(L""));
    EXPECT_TRUE(plain.clearChoice);
}

TEST(ServerPreselection, ComparisonsAreCaseSensitive) {
    ServerAreas areas(1);
    areas[0].servers.push_back(Server(L"Lower", L"ab", L"host.example", L"1", L"c"));
    EXPECT_EQ(PreselectServer(areas, Saved(L"AB", L"", L""), kPicked).server, nullptr);
    EXPECT_EQ(PreselectServer(areas, Saved(L"", L"HOST.example", L"1"), kPicked).server, nullptr);
    EXPECT_NE(PreselectServer(areas, Saved(L"ab", L"", L""), kPicked).server, nullptr);
}

TEST(ServerPreselection, RuleCTakesTheFirstNamedServerOfAreaZeroOrKeepsTheValues) {
    const ServerAreas areas = FourAreas();
    const ServerPreselection first = PreselectServer(areas, ServerChoice{}, kPicked);
    EXPECT_EQ(first.server, areas[0].servers[1].get()) << "the unnamed first server is skipped";
    EXPECT_EQ(first.serverButtonText, CStdString(L"North"));
    EXPECT_FALSE(first.clearChoice);

    ServerAreas unnamed(2);
    unnamed[0].servers.push_back(Server(L"", L"1", L"h", L"1", L"c"));
    unnamed[1].servers.push_back(Server(L"Named", L"2", L"h", L"2", L"c"));
    const ServerPreselection kept = PreselectServer(unnamed, ServerChoice{}, kPicked);
    EXPECT_EQ(kept.server, nullptr);
    EXPECT_EQ(kept.values, kPicked) << "rule C does not empty the values";
    EXPECT_EQ(kept.serverButtonText, std::nullopt);
    EXPECT_FALSE(kept.clearChoice);

    const ServerPreselection none = PreselectServer(ServerAreas{}, ServerChoice{}, ServerChoice{});
    EXPECT_EQ(none.server, nullptr);
    EXPECT_TRUE(none.clearChoice);
}
