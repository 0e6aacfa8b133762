#pragma once
// Owns one file descriptor and closes it when it goes: the one way descriptors are held.
#include <utility>

namespace platform {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    explicit operator bool() const noexcept { return valid(); }
    // Gives the descriptor up without closing it (to fdopen, fdopendir, a C library).
    int release() noexcept { return std::exchange(fd_, -1); }
    // Closes the held descriptor (if any) and holds fd instead. Async-signal-safe.
    void reset(int fd = -1) noexcept;
    // Closes now and says whether close succeeded: on some file systems a failed write shows
    // only there, so writers check it. False also when nothing was held.
    bool Close() noexcept;

private:
    int fd_ = -1;
};

} // namespace platform
