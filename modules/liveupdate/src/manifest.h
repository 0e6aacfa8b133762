#pragma once
// The release manifest: the server's game and launcher versions and, for each version step, the
// packages to install in order. It comes from the network, so reading it checks every value.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace liveupdate {

struct Package {
    std::string name; // [A-Za-z0-9._-], ending in ".upd" or ".tre", at most 128 bytes
    std::uint64_t size = 0;
    std::string sha256; // 64 lowercase hex digits
};

struct Step {
    std::string from;
    std::string to;
    std::vector<Package> packages;
};

struct Manifest {
    std::string game;
    std::string launcher;
    std::vector<Step> steps;
};

// The manifest in bytes (UTF-8 XML), or nullopt with the reason in `why` when it is not a
// well-formed manifest: a missing or malformed version, step or package attribute, a package
// name outside the rules, a size above 2^40, or two steps from the same version.
std::optional<Manifest> ParseManifest(std::string_view bytes, std::string& why);

} // namespace liveupdate
