#pragma once
// Permission cases (a read-only directory, an unreadable file) mean nothing to root, and tests
// often run as root in containers. This runs such a check as an ordinary user either way.
#include <filesystem>
#include <functional>

namespace testing_support {

// Runs check in a child process as the user "nobody" when the tests run as root, else directly.
// The result of check; false when the child could not run it. dir (and its parents, which
// temporary directories already allow) must be reachable by that user: it is opened to all.
bool AsUnprivilegedUser(const std::filesystem::path& dir, const std::function<bool()>& check);

} // namespace testing_support
