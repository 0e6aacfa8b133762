#include "launcher/ui/server_model.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <pugixml.hpp>
#include <string_view>
#include <system_error>
#include <unistd.h>

#include "duilib/paint_manager.h"
#include "launcher/config/scrambled_file.h"
#include "system/path.h"
#include "system/regular_file.h"

namespace {

// Only the first three areas have buttons, so only they are searched for the saved choice.
constexpr size_t kSearchedAreas = 3;

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Leading blanks and a sign accepted, stops at the first non-digit, 0 without digits; values
// beyond 32 bits saturate, as the 32-bit conversion always did.
int32_t Number(const pugi::xml_attribute& attribute) {
    const long value = std::strtol(attribute.value(), nullptr, 10);
    return static_cast<int32_t>(std::clamp<long>(value, INT32_MIN, INT32_MAX));
}

bool Named(const pugi::xml_node& node, const char* name) {
    return node.type() == pugi::node_element && std::strcmp(node.name(), name) == 0;
}

// The text field an attribute of a "server" fills, or null. The first letter picks the one
// candidate: lists carry tens of thousands of attributes.
ServerText* ServerField(ServerInfo& server, const char* name) {
    switch (name[0]) {
    case 's':
        return std::strcmp(name, "sid") == 0 ? &server.sid : nullptr;
    case 'n':
        return std::strcmp(name, "name") == 0 ? &server.name : nullptr;
    case 'a':
        return std::strcmp(name, "address") == 0 ? &server.address : nullptr;
    case 'c':
        return std::strcmp(name, "chargeIp") == 0 ? &server.chargeIp : nullptr;
    case 'p':
        return std::strcmp(name, "port") == 0 ? &server.port : nullptr;
    default:
        return nullptr;
    }
}

void ReadServer(const pugi::xml_node& node, ServerInfo& server) {
    for (const pugi::xml_attribute& attribute : node.attributes()) {
        if (ServerText* field = ServerField(server, attribute.name()))
            *field = ServerText(attribute.value());
        else if (std::strcmp(attribute.name(), "state") == 0)
            server.state = Number(attribute);
    }
}

ServerArea ReadArea(const pugi::xml_node& node, const std::shared_ptr<const std::string>& bytes) {
    ServerArea area;
    area.bytes = bytes;
    // An area without any attribute stays empty, whatever it holds.
    if (!node.first_attribute())
        return area;
    for (const pugi::xml_attribute& attribute : node.attributes()) {
        if (std::strcmp(attribute.name(), "pid") == 0)
            area.pid = Number(attribute);
        else if (std::strcmp(attribute.name(), "name") == 0)
            area.name = ServerText(attribute.value());
    }
    // Counted first: the records are allocated once and never move.
    const auto children = node.children();
    area.servers.reserve(static_cast<size_t>(
        std::count_if(children.begin(), children.end(),
                      [](const pugi::xml_node& child) { return Named(child, "server"); })));
    for (const pugi::xml_node& child : children) {
        if (Named(child, "server"))
            ReadServer(child, area.servers.emplace_back());
    }
    return area;
}

ServerListLoad Failure(std::string reason) {
    return ServerListLoad{ServerListStatus::Failed, {}, std::move(reason)};
}

// The whole file when it is a regular file within the size cap; nullopt with a reason else.
std::optional<std::string> ReadListFile(const std::filesystem::path& path, std::string& reason) {
    platform::FileBytes file = platform::OpenRegularForRead(path, kMaxServerListBytes);
    if (file.ok())
        return std::move(file.bytes);
    reason = path.string() + ": " + platform::DescribeFileProblem(file.problem);
    if (file.problem == platform::FileProblem::TooLarge) {
        std::error_code ec;
        reason += ": " + std::to_string(std::filesystem::file_size(path, ec)) +
                  " bytes, more than " + std::to_string(kMaxServerListBytes) + " allowed";
    }
    return std::nullopt;
}

std::optional<std::filesystem::path> ProgramFile(const std::wstring& name) {
    return platform::ToPath(DuiLib::CPaintManagerUI::GetInstancePath().str() + name);
}

} // namespace

DuiLib::CStdString ServerText::Wide() const {
    if (IsAscii(utf8_))
        return DuiLib::CStdString(std::wstring(utf8_.begin(), utf8_.end()));
    return DuiLib::CStdString(pugi::as_wide(std::string(utf8_)));
}

bool ServerText::IsEmpty() const {
    return utf8_.empty() || (!IsAscii(utf8_) && Wide().IsEmpty());
}

bool ServerText::operator==(const DuiLib::CStdString& wide) const {
    if (!IsAscii(utf8_))
        return Wide() == wide;
    const std::wstring& other = wide.str();
    return std::equal(utf8_.begin(), utf8_.end(), other.begin(), other.end(),
                      [](char c, wchar_t w) { return static_cast<wchar_t>(c) == w; });
}

ServerListLoad ParseServerList(std::string bytes) {
    // The texts of the model view these bytes, so they go where they never move.
    const auto text = std::make_shared<std::string>(std::move(bytes));
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer_inplace(
        text->data(), text->size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
        return Failure(std::string("not well-formed: ") + parsed.description() + " at offset " +
                       std::to_string(parsed.offset));
    }
    const pugi::xml_node root = document.document_element();
    if (!Named(root, "tavi"))
        return ServerListLoad{ServerListStatus::NotServerList, {}, "root element is not tavi"};

    ServerListLoad load;
    load.status = ServerListStatus::Loaded;
    for (const pugi::xml_node& child : root.children()) {
        if (Named(child, "area"))
            load.areas.push_back(ReadArea(child, text));
    }
    return load;
}

ServerListLoad LoadServerListFile(const std::wstring& fileName, const std::wstring& scrambleKey) {
    const std::wstring copyName = fileName + L".tmp";
    const auto path = ProgramFile(fileName);
    const auto copyPath = ProgramFile(copyName);
    if (fileName.empty() || !path || !copyPath)
        return Failure("no usable file name");

    std::string reason;
    std::optional<std::string> bytes = ReadListFile(*path, reason);
    if (!bytes) {
        // A list that cannot be read cannot be decoded either: a copy an earlier load left
        // behind goes all the same.
        unlink(copyPath->c_str());
        return Failure(reason);
    }
    ServerListLoad plain = ParseServerList(std::move(*bytes));
    if (plain.status != ServerListStatus::Failed)
        return plain;

    // Not XML: a scrambled list. Unlinking first also keeps the decoder from writing through a
    // link planted under the copy's name.
    unlink(copyPath->c_str());
    if (!DecodeScrambledFile(fileName.c_str(), scrambleKey.c_str(), copyName.c_str()))
        return Failure(plain.reason + "; cannot decode it as a scrambled list");
    bytes = ReadListFile(*copyPath, reason);
    if (!bytes)
        return Failure(reason);
    ServerListLoad decoded = ParseServerList(std::move(*bytes));
    if (decoded.status == ServerListStatus::Failed)
        return Failure(plain.reason + "; decoded copy " + decoded.reason);
    unlink(copyPath->c_str());
    return decoded;
}

ServerPreselection PreselectServer(const ServerAreas& areas, const ServerChoice& saved,
                                   const ServerChoice& current) {
    ServerPreselection result;
    result.values = current;
    const auto take = [&result](size_t area, const ServerInfo& server) {
        result.area = static_cast<int>(area);
        result.server = &server;
        result.values = ServerChoice{server.address.Wide(), server.port.Wide(),
                                     server.chargeIp.Wide(), server.sid.Wide()};
    };

    if (!saved.sid.IsEmpty() || !saved.address.IsEmpty()) {
        const bool bySid = !saved.sid.IsEmpty();
        const auto matches = [&](const ServerInfo& server) {
            return bySid ? server.sid == saved.sid
                         : server.address == saved.address && server.port == saved.port;
        };
        result.values = ServerChoice{};
        for (size_t area = 0; area < std::min(areas.size(), kSearchedAreas); ++area) {
            const auto& servers = areas[area].servers;
            const auto found = std::find_if(servers.begin(), servers.end(), matches);
            if (found != servers.end())
                take(area, *found);
        }
    } else if (!areas.empty()) {
        const auto& servers = areas.front().servers;
        const auto named =
            std::find_if(servers.begin(), servers.end(),
                         [](const ServerInfo& server) { return !server.name.IsEmpty(); });
        if (named != servers.end())
            take(0, *named);
    }

    result.clearChoice = !result.values.IsComplete();
    if (result.clearChoice)
        result.serverButtonText = DuiLib::CStdString();
    else if (result.server != nullptr)
        result.serverButtonText = result.server->name.Wide();
    return result;
}
