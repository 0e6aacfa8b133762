#include "system/unique_fd.h"

#include <unistd.h>

namespace platform {

void UniqueFd::reset(int fd) noexcept {
    const int old = std::exchange(fd_, fd);
    // Not retried on EINTR: Linux releases the descriptor even then.
    if (old >= 0)
        close(old);
}

bool UniqueFd::Close() noexcept {
    const int old = release();
    return old >= 0 && close(old) == 0;
}

} // namespace platform
