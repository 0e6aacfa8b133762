#pragma once
// The server list: areas of game servers read from "ServerList.xml", and the choice of the server
// to pre-select after a load. Nothing here touches a window, so any thread may call it; the
// update window applies the results to its controls on the UI thread.
//
// The file: root element "tavi"; its "area" children (attributes "pid", "name") hold "server"
// children (attributes "sid", "name", "address", "chargeIp", "port", "state"). Names are
// compared exactly; other elements are skipped with everything inside them; of a repeated
// attribute the last value counts. Values are kept as the XML gives them: never trimmed,
// checked or interpreted.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "duilib/std_string.h"
#include "launcher/limits.h"

// A value of the list as the file holds it (UTF-8), viewed in the bytes of the load that made it.
// Wide text is made only where a value is shown, compared or saved: a list holds tens of
// thousands of values and shows a hundred. A stray invalid byte is dropped from the wide text,
// as the markup reader does; IsEmpty and == look at the wide text, not at the bytes.
class ServerText {
public:
    ServerText() = default;
    explicit ServerText(std::string_view utf8) : utf8_(utf8) {}

    DuiLib::CStdString Wide() const;
    bool IsEmpty() const;
    bool operator==(const DuiLib::CStdString& wide) const;

private:
    std::string_view utf8_;
};

struct ServerInfo {
    ServerText name;
    ServerText sid;
    ServerText port;   // text: compared and saved as written
    int32_t state = 0; // read, never used
    ServerText address;
    ServerText chargeIp;
};

struct ServerArea {
    int32_t pid = 0; // read, never used
    ServerText name;
    // Filled once by the load and never resized, so the records never move while the area
    // lives and list items may point at them.
    std::vector<ServerInfo> servers;
    // The parsed bytes every text above views, shared by the areas of one load.
    std::shared_ptr<const std::string> bytes;
};

// Areas in document order.
using ServerAreas = std::vector<ServerArea>;

enum class ServerListStatus {
    Loaded,        // areas holds the list (possibly empty)
    NotServerList, // well-formed, but the root is not "tavi": keep the model you have
    Failed,        // missing, refused or unreadable: keep the model you have
};

struct ServerListLoad {
    ServerListStatus status = ServerListStatus::Failed;
    ServerAreas areas;  // only when Loaded
    std::string reason; // for the log when not Loaded
};

// Builds the model from the bytes of a plain list; the areas keep the bytes. Failed when they are
// not well-formed XML.
ServerListLoad ParseServerList(std::string bytes);

// Loads fileName from the program directory (as the UI library reports it). Only a regular file
// of at most kMaxServerListBytes (launcher/limits.h) is read. A file that does not parse is taken
// to be scrambled: it is decoded with scrambleKey into fileName + ".tmp" (a leftover copy is
// deleted first), the copy is parsed and then deleted; a copy that does not parse either stays
// until the next load.
ServerListLoad LoadServerListFile(const std::wstring& fileName, const std::wstring& scrambleKey);

// The chosen server; it counts as chosen only when all four values are non-empty.
struct ServerChoice {
    DuiLib::CStdString address;
    DuiLib::CStdString port;
    DuiLib::CStdString chargeIp;
    DuiLib::CStdString sid;

    bool IsComplete() const {
        return !address.IsEmpty() && !port.IsEmpty() && !chargeIp.IsEmpty() && !sid.IsEmpty();
    }
    bool operator==(const ServerChoice&) const = default;
};

struct ServerPreselection {
    int area = -1;                      // the matched server's area; -1 when none matched
    const ServerInfo* server = nullptr; // the matched server, owned by the model
    ServerChoice values;                // the selected-server values to take
    // ServerBtn's text: the matched server's name, "" when the choice is incomplete, and
    // nullopt (leave it) when nothing matched and the values kept are complete.
    std::optional<DuiLib::CStdString> serverButtonText;
    // Incomplete choice: ServerBtn emptied, EnterGameBtn disabled, "zel.ini" not written.
    // Otherwise the values are saved as the player's choice.
    bool clearChoice = false;
};

// Picks the server to pre-select after a load, from the choice saved in "zel.ini" (its
// ServerSid, ServerAddr and ServerPort) and the values selected so far. One rule runs:
//   A, saved sid set: the values are emptied; in each of the first three areas the first server
//      with that sid is taken, a later area replacing an earlier one;
//   B, only the saved address set: the same, matching address and port;
//   C, neither: the first named server of area 0 is taken; without one the values stay.
// All comparisons are exact and case-sensitive.
ServerPreselection PreselectServer(const ServerAreas& areas, const ServerChoice& saved,
                                   const ServerChoice& current);
