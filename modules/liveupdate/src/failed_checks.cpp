#include "failed_checks.h"

#include <map>
#include <mutex>

namespace liveupdate {

namespace {

struct Counts {
    std::mutex mutex;
    std::map<std::string, int> failures;
};

// Never destroyed, like the module itself once loaded.
Counts& TheCounts() {
    static Counts* counts = new Counts;
    return *counts;
}

std::string KeyOf(const std::string& url, const Package& package) {
    return url + " " + std::to_string(package.size) + " " + package.sha256;
}

} // namespace

int FailedChecks(const std::string& url, const Package& package) {
    Counts& counts = TheCounts();
    std::lock_guard lock(counts.mutex);
    const auto found = counts.failures.find(KeyOf(url, package));
    return found == counts.failures.end() ? 0 : found->second;
}

void CountFailedChecks(const std::string& url, const Package& package, int failures) {
    if (failures <= 0)
        return;
    Counts& counts = TheCounts();
    std::lock_guard lock(counts.mutex);
    counts.failures[KeyOf(url, package)] += failures;
}

} // namespace liveupdate
