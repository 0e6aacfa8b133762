#include "tests/support/file_opens.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace testing_support {

FileOpens::FileOpens(const std::filesystem::path& dir)
    : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    EXPECT_GE(fd_, 0);
    // Closes are watched too: the kernel merges an event into an identical one still queued,
    // so two opens in a row would count once; an open, close, open is three events.
    EXPECT_GE(inotify_add_watch(fd_, dir.c_str(), IN_OPEN | IN_CLOSE), 0);
}

FileOpens::~FileOpens() {
    if (fd_ >= 0)
        close(fd_);
}

void FileOpens::Drain() {
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            return;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && (event->mask & IN_OPEN) != 0)
                ++opens_[event->name];
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

int FileOpens::Count(const std::string& name) {
    Drain();
    const auto found = opens_.find(name);
    return found == opens_.end() ? 0 : found->second;
}

void FileOpens::Reset() {
    Drain();
    opens_.clear();
}

} // namespace testing_support
