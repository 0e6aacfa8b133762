#pragma once
// Packages that arrived and failed their size or SHA-256 check, counted for the life of the
// process: a server that keeps sending a wrong package is not asked for it again and again.
#include <string>

#include "manifest.h"

namespace liveupdate {

// Any thread. A package is known by its address, size and SHA-256.
int FailedChecks(const std::string& url, const Package& package);
void CountFailedChecks(const std::string& url, const Package& package, int failures);

} // namespace liveupdate
