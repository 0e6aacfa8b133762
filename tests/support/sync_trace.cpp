#include "tests/support/sync_trace.h"

#include <cstdio>
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <mutex>
#include <unistd.h>

namespace testing_support {

namespace {

std::mutex traceMutex;
std::vector<std::string> events;
bool recording = false;

std::string DescriptorPath(int fd) {
    if (fd == AT_FDCWD)
        return ".";
    char target[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = readlink(link.c_str(), target, sizeof target);
    return n > 0 ? std::string(target, static_cast<size_t>(n)) : "?";
}

std::string Join(int dirFd, const char* name) {
    if (name != nullptr && name[0] == '/')
        return name;
    return DescriptorPath(dirFd) + "/" + (name != nullptr ? name : "");
}

void Record(std::string event) {
    std::lock_guard lock(traceMutex);
    if (recording)
        events.push_back(std::move(event));
}

template <typename Fn> Fn Next(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

} // namespace

void StartSyncTrace() {
    std::lock_guard lock(traceMutex);
    events.clear();
    recording = true;
}

std::vector<std::string> SyncTrace() {
    std::lock_guard lock(traceMutex);
    return events;
}

} // namespace testing_support

using testing_support::DescriptorPath;
using testing_support::Join;
using testing_support::Next;
using testing_support::Record;

extern "C" int fsync(int fd) {
    Record("sync " + DescriptorPath(fd));
    static const auto next = Next<int (*)(int)>("fsync");
    return next(fd);
}

extern "C" int syncfs(int fd) {
    Record("syncfs " + DescriptorPath(fd));
    static const auto next = Next<int (*)(int)>("syncfs");
    return next(fd);
}

extern "C" int fdatasync(int fd) {
    Record("sync " + DescriptorPath(fd));
    static const auto next = Next<int (*)(int)>("fdatasync");
    return next(fd);
}

extern "C" int rename(const char* from, const char* to) noexcept {
    Record("rename " + Join(AT_FDCWD, from) + " -> " + Join(AT_FDCWD, to));
    static const auto next = Next<int (*)(const char*, const char*)>("rename");
    return next(from, to);
}

extern "C" int renameat(int fromDir, const char* from, int toDir, const char* to) noexcept {
    Record("rename " + Join(fromDir, from) + " -> " + Join(toDir, to));
    static const auto next = Next<int (*)(int, const char*, int, const char*)>("renameat");
    return next(fromDir, from, toDir, to);
}

extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to,
                         unsigned flags) noexcept {
    Record("rename " + Join(fromDir, from) + " -> " + Join(toDir, to));
    static const auto next =
        Next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
    return next(fromDir, from, toDir, to, flags);
}
