#pragma once
// The module has no log of its own: why an update is not offered or ended goes to standard error.
#include <cstdio>
#include <string>

namespace liveupdate {

inline void Say(const std::string& text) {
    std::fprintf(stderr, "LiveUpdate: %s\n", text.c_str());
}

} // namespace liveupdate
