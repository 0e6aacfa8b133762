#include "launcher/ui/server_model.h"

#include <sys/stat.h>
#include <utility>

#include "tests/launcher/config/program_dir_test.h"

namespace {

using DuiLib::CStdString;

// One line per area, "pid name: {name|sid|address|port|chargeIp|state} ...", for comparing
// whole models at once.
std::wstring Describe(const ServerAreas& areas) {
    std::wstring text;
    for (const ServerArea& area : areas) {
        text += std::to_wstring(area.pid) + L" " + area.name.Wide().str() + L":";
        for (const ServerInfo& s : area.servers) {
            text += L" {" + s.name.Wide().str() + L"|" + s.sid.Wide().str() + L"|" +
                    s.address.Wide().str() + L"|" + s.port.Wide().str() + L"|" +
                    s.chargeIp.Wide().str() + L"|" + std::to_wstring(s.state) + L"}";
        }
        text += L"\n";
    }
    return text;
}

ServerListLoad Parse(std::string bytes) {
    return ParseServerList(std::move(bytes));
}

ServerAreas Areas(std::string bytes) {
    ServerListLoad load = Parse(std::move(bytes));
    EXPECT_EQ(load.status, ServerListStatus::Loaded) << load.reason;
    return std::move(load.areas);
}

// Four areas; sid "7" is in areas 0 and 2, sid "9" only in area 3, sid "5" lacks a chargeIp.
ServerAreas FourAreas() {
    return Areas(R"(<tavi><area name="0">
  <server name="" sid="1" address="10.0.0.1" port="7000" chargeIp="http://c1"/>
  <server name="North" sid="7" address="10.0.0.7" port="7000" chargeIp="http://c7"/>
  <server name="East" sid="8" address="10.0.0.8" port="" chargeIp="http://c8"/>
</area><area name="1">
  <server name="Plain" sid="5" address="10.0.1.5" port="7001"/>
</area><area name="2">
  <server name="Far" sid="7" address="10.0.2.7" port="7002" chargeIp="http://c27"/>
  <server name="Far 2" sid="7" address="10.0.2.8" port="7002" chargeIp="http://c28"/>
</area><area name="3">
  <server name="Hidden" sid="9" address="10.0.3.9" port="7003" chargeIp="http://c9"/>
</area></tavi>)");
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

TEST(ServerListFormat, RecordsAndTheirTextsOutliveTheLoadAndNeverMove) {
    ServerListLoad load = Parse(std::string(kSmallList) + "<!-- the bytes go with the areas -->");
    ASSERT_EQ(load.status, ServerListStatus::Loaded);
    const ServerInfo* record = &load.areas[0].servers[0];
    // Taken over as the update window does, then the outer vector grown so its areas move.
    ServerAreas model = std::move(load.areas);
    load = ServerListLoad{};
    model.reserve(model.capacity() + 8);
    EXPECT_EQ(&model[0].servers[0], record);
    EXPECT_EQ(record->name, CStdString(L"S"));

    // One area kept alone keeps the bytes its texts view.
    ServerAreas kept{model[0]};
    model.clear();
    EXPECT_EQ(Describe(kept), kSmallModel);
}

TEST(ServerListFormat, TextIsTheSameWhetherShownComparedOrTestedForEmptiness) {
    // "\xFF" is no UTF-8: dropped from the wide text everywhere, so a name of only that byte is
    // as empty as a missing one.
    const ServerAreas areas =
        Areas("<tavi><area name=\"\xE4\xB8\x9C\">"
              "<server name=\"\xFF\" sid=\"1\" address=\"h\" port=\"1\" chargeIp=\"c\"/>"
              "<server name=\"\xE4\xB8\x9C\xFF\" sid=\"\xE4\xB8\x9C"
              "7\" address=\"h\xFF\" port=\"2\" chargeIp=\"c\"/></area></tavi>");
    ASSERT_EQ(areas.size(), 1u);
    const ServerInfo& unnamed = areas[0].servers[0];
    const ServerInfo& east = areas[0].servers[1];
    EXPECT_TRUE(unnamed.name.IsEmpty());
    EXPECT_EQ(unnamed.name.Wide(), CStdString(L""));
    EXPECT_EQ(east.name.Wide(), CStdString(L"\u4E1C"));
    EXPECT_TRUE(east.name == CStdString(L"\u4E1C"));
    EXPECT_FALSE(east.sid == CStdString(L"\u4E1C"));
    EXPECT_FALSE(east.port == CStdString(L"22"));

    const ServerPreselection byName = PreselectServer(areas, ServerChoice{}, ServerChoice{});
    EXPECT_EQ(byName.server, &east);
    EXPECT_EQ(byName.serverButtonText, CStdString(L"\u4E1C"));
    EXPECT_EQ(byName.values, (ServerChoice{L"h", L"2", L"c",
                                           L"\u4E1C"
                                           L"7"}));
    EXPECT_EQ(PreselectServer(areas,
                              Saved(L"\u4E1C"
                                    L"7",
                                    L"", L""),
                              kPicked)
                  .server,
              &east);
    EXPECT_EQ(PreselectServer(areas, Saved(L"", L"h", L"2"), kPicked).server, &east);
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

    // The list has gone since: the copy it left goes at the next load.
    std::filesystem::remove(File("ServerList.xml"));
    EXPECT_EQ(Load().status, ServerListStatus::Failed);
    EXPECT_EQ(Entries(), std::set<std::string>{});
    Write("ServerList.xml", "\x01\x02 not xml");
    EXPECT_EQ(Load().status, ServerListStatus::Failed);

    Write("ServerList.xml", Scramble("<list/>"));
    EXPECT_EQ(Load().status, ServerListStatus::NotServerList);
    EXPECT_EQ(Entries(), std::set<std::string>{"ServerList.xml"});
}

TEST_F(ServerListFileTest, LoadsPlainListsUpToTheCapAndRefusesOtherKindsOfFile) {
    std::string limit = std::string(kSmallList) + "<!--";
    limit += std::string(kMaxServerListBytes - limit.size() - 3, 'x') + "-->";
    Write("ServerList.xml", limit);
    const ServerListLoad atLimit = Load();
    ASSERT_EQ(atLimit.status, ServerListStatus::Loaded) << atLimit.reason;
    EXPECT_EQ(Describe(atLimit.areas), kSmallModel);
    EXPECT_EQ(Entries(), std::set<std::string>{"ServerList.xml"}); // a plain list needs no copy

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

// Each rule on the four areas, after another server was picked: the server taken, the values,
// ServerBtn's text and whether the choice is cleared.
TEST(ServerPreselection, EachRuleOnFourAreas) {
    const ServerAreas areas = FourAreas();
    const ServerChoice north{L"10.0.0.7", L"7000", L"http://c7", L"7"};
    const ServerChoice far{L"10.0.2.7", L"7002", L"http://c27", L"7"};
    const ServerChoice plain{L"10.0.1.5", L"7001", L"", L"5"};
    const ServerChoice east{L"10.0.0.8", L"", L"http://c8", L"8"};
    const struct {
        const char* rule;
        ServerChoice saved;
        int area, index; // -1: no server matched
        ServerChoice values;
        const wchar_t* button;
        bool clear;
    } cases[] = {
        // A: a later area wins, the first match within an area; only the first three areas count.
        {"A", Saved(L"7", L"", L""), 2, 0, far, L"Far", false},
        {"A, fourth area", Saved(L"9", L"", L""), -1, -1, {}, L"", true},
        // A match without a chargeIp empties the button and disables entering.
        {"A, no chargeIp", Saved(L"5", L"", L""), 1, 0, plain, L"", true},
        // B runs only without a saved sid: here the address and port would match "North".
        {"A, sid missing", Saved(L"404", L"10.0.0.7", L"7000"), -1, -1, {}, L"", true},
        {"B", Saved(L"", L"10.0.0.7", L"7000"), 0, 1, north, L"North", false},
        // An empty saved port matches only an empty port, which leaves the choice incomplete.
        {"B, empty port", Saved(L"", L"10.0.0.8", L""), 0, 2, east, L"", true},
        {"B, port missing", Saved(L"", L"10.0.0.7", L""), -1, -1, {}, L"", true},
        // C: the first named server of area 0; the unnamed first one is skipped.
        {"C", {}, 0, 1, north, L"North", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rule);
        const ServerPreselection pick = PreselectServer(areas, c.saved, kPicked);
        EXPECT_EQ(pick.area, c.area);
        const ServerInfo* server = nullptr;
        if (c.area >= 0)
            server = &areas[static_cast<size_t>(c.area)].servers[static_cast<size_t>(c.index)];
        EXPECT_EQ(pick.server, server);
        EXPECT_EQ(pick.values, c.values);
        EXPECT_EQ(pick.serverButtonText, CStdString(c.button));
        EXPECT_EQ(pick.clearChoice, c.clear);
    }
}

TEST(ServerPreselection, ComparisonsAreCaseSensitive) {
    const ServerAreas areas = Areas("<tavi><area name=\"0\"><server name=\"Lower\" sid=\"ab\" "
                                    "address=\"host.example\" port=\"1\" chargeIp=\"c\"/>"
                                    "</area></tavi>");
    EXPECT_EQ(PreselectServer(areas, Saved(L"AB", L"", L""), kPicked).server, nullptr);
    EXPECT_EQ(PreselectServer(areas, Saved(L"", L"HOST.example", L"1"), kPicked).server, nullptr);
    EXPECT_NE(PreselectServer(areas, Saved(L"ab", L"", L""), kPicked).server, nullptr);
}

TEST(ServerPreselection, RuleCWithoutANamedServerInAreaZeroKeepsTheValues) {
    const ServerAreas unnamed =
        Areas("<tavi><area name=\"0\"><server sid=\"1\" address=\"h\" port=\"1\" chargeIp=\"c\"/>"
              "</area><area name=\"1\"><server name=\"Named\" sid=\"2\" address=\"h\" port=\"2\" "
              "chargeIp=\"c\"/></area></tavi>");
    const ServerPreselection kept = PreselectServer(unnamed, ServerChoice{}, kPicked);
    EXPECT_EQ(kept.server, nullptr);
    EXPECT_EQ(kept.values, kPicked) << "rule C does not empty the values";
    EXPECT_EQ(kept.serverButtonText, std::nullopt);
    EXPECT_FALSE(kept.clearChoice);

    const ServerPreselection none = PreselectServer(ServerAreas{}, ServerChoice{}, ServerChoice{});
    EXPECT_EQ(none.server, nullptr);
    EXPECT_TRUE(none.clearChoice);
}
