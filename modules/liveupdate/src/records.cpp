#include "records.h"

#include <atomic>
#include <cstdio>
#include <string_view>

namespace liveupdate {

namespace {

std::atomic<LiveUpdateLogSink> AttachedSink{nullptr};

} // namespace

std::string FailureText(const net::DownloadResult& result) {
    static constexpr std::string_view kAfter = " after ";
    // The detail of a status already names it.
    std::string stable = result.error == net::DownloadError::HttpStatus
                             ? result.detail
                             : std::string(net::DescribeError(result.error)) + ": " + result.detail;
    for (size_t at = stable.find(kAfter); at != std::string::npos;
         at = stable.find(kAfter, at + 1)) {
        size_t end = at + kAfter.size();
        while (end < stable.size() && stable[end] >= '0' && stable[end] <= '9')
            ++end;
        if (end > at + kAfter.size() && stable.compare(end, 3, " ms") == 0)
            stable.erase(at, end + 3 - at);
    }
    return stable;
}

void Say(const std::string& text) {
    const std::string line = "LiveUpdate: " + text;
    std::fprintf(stderr, "%s\n", line.c_str());
    if (const LiveUpdateLogSink sink = AttachedSink.load())
        sink(line.c_str());
}

void AttachLogSink(LiveUpdateLogSink sink) {
    AttachedSink = sink;
}

} // namespace liveupdate
