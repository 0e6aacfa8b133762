#include "manifest.h"

#include <charconv>
#include <set>

#include <pugixml.hpp>

namespace liveupdate {

namespace {

constexpr size_t kMaxNameBytes = 128;
constexpr size_t kMaxVersionBytes = 64;
constexpr std::uint64_t kMaxPackageSize = std::uint64_t{1} << 40;

bool IsNameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

bool IsPackageName(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameBytes)
        return false;
    for (char c : name) {
        if (!IsNameCharacter(c))
            return false;
    }
    return name.ends_with(".upd") || name.ends_with(".tre");
}

// Versions end up in "version.ini" and in log lines: no control characters, bounded length.
bool IsVersion(std::string_view version) {
    if (version.empty() || version.size() > kMaxVersionBytes)
        return false;
    for (char c : version) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

bool IsSha256(std::string_view hex) {
    if (hex.size() != 64)
        return false;
    for (char c : hex) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

std::optional<std::uint64_t> ParseSize(std::string_view text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value > kMaxPackageSize)
        return std::nullopt;
    return value;
}

std::optional<Package> ReadPackage(const pugi::xml_node& node, std::string& why) {
    Package package{node.attribute("name").value(), 0, node.attribute("sha256").value()};
    const std::optional<std::uint64_t> size = ParseSize(node.attribute("size").value());
    if (!IsPackageName(package.name))
        why = "package name \"" + package.name + "\" is not allowed";
    else if (!size)
        why = "package " + package.name + " has no valid size";
    else if (!IsSha256(package.sha256))
        why = "package " + package.name + " has no valid sha256";
    else {
        package.size = *size;
        return package;
    }
    return std::nullopt;
}

std::optional<Step> ReadStep(const pugi::xml_node& node, std::string& why) {
    Step step{node.attribute("from").value(), node.attribute("to").value(), {}};
    if (!IsVersion(step.from) || !IsVersion(step.to)) {
        why = "a step has no valid from or to version";
        return std::nullopt;
    }
    for (const pugi::xml_node& child : node.children("package")) {
        std::optional<Package> package = ReadPackage(child, why);
        if (!package)
            return std::nullopt;
        step.packages.push_back(std::move(*package));
    }
    return step;
}

} // namespace

std::optional<Manifest> ParseManifest(std::string_view bytes, std::string& why) {
    pugi::xml_document document;
    // Attribute values are taken as written: a line break in a version is refused, not smoothed.
    const pugi::xml_parse_result parsed = document.load_buffer(
        bytes.data(), bytes.size(), pugi::parse_default & ~pugi::parse_wconv_attribute,
        pugi::encoding_utf8);
    if (!parsed) {
        why = std::string("manifest is not XML: ") + parsed.description();
        return std::nullopt;
    }
    const pugi::xml_node root = document.child("update");
    Manifest manifest{root.attribute("game").value(), root.attribute("launcher").value(), {}};
    if (!IsVersion(manifest.game) || !IsVersion(manifest.launcher)) {
        why = "manifest has no valid game or launcher version";
        return std::nullopt;
    }
    std::set<std::string> sources;
    for (const pugi::xml_node& node : root.children("step")) {
        std::optional<Step> step = ReadStep(node, why);
        if (!step)
            return std::nullopt;
        if (!sources.insert(step->from).second) {
            why = "two steps start at version " + step->from;
            return std::nullopt;
        }
        manifest.steps.push_back(std::move(*step));
    }
    return manifest;
}

} // namespace liveupdate
