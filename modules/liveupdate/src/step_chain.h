#pragma once
// Which version steps take an installed game to the server's game version.
#include <optional>
#include <string>
#include <vector>

#include "manifest.h"

namespace liveupdate {

// The steps in the order they install: the step from `version`, then the one from its target,
// until the manifest's game version is reached (none when version already is it). nullopt, with
// the reason in `why`, when a step is missing or the steps go round in a loop.
std::optional<std::vector<const Step*>> FollowSteps(const Manifest& manifest,
                                                    const std::string& version, std::string& why);

} // namespace liveupdate
