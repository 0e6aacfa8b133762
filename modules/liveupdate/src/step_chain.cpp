#include "step_chain.h"

#include <string_view>
#include <unordered_map>

namespace liveupdate {

std::optional<std::vector<const Step*>> FollowSteps(const Manifest& manifest,
                                                    const std::string& version, std::string& why) {
    std::unordered_map<std::string_view, const Step*> stepFrom;
    for (const Step& step : manifest.steps)
        stepFrom.emplace(step.from, &step);
    std::vector<const Step*> chain;
    std::string_view reached = version;
    while (reached != manifest.game) {
        // Every step starts at its own version, so a chain longer than the list has looped.
        if (chain.size() == manifest.steps.size()) {
            why = "the steps from version " + version + " go round in a loop";
            return std::nullopt;
        }
        const auto next = stepFrom.find(reached);
        if (next == stepFrom.end()) {
            why = "no step leads from version " + std::string(reached) + " to " + manifest.game;
            return std::nullopt;
        }
        chain.push_back(next->second);
        reached = next->second->to;
    }
    return chain;
}

} // namespace liveupdate
