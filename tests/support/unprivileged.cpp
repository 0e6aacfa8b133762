#include "tests/support/unprivileged.h"

#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

namespace {
constexpr uid_t kNobody = 65534;
}

bool AsUnprivilegedUser(const std::filesystem::path& dir, const std::function<bool()>& check) {
    if (geteuid() != 0)
        return check();
    std::error_code ignored;
    std::filesystem::permissions(dir, std::filesystem::perms::all, ignored);
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const bool dropped = setgid(kNobody) == 0 && setuid(kNobody) == 0;
        _exit(dropped && check() ? 0 : 1);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace testing_support
