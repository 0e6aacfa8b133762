#include "records.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <mutex>
#include <string_view>

namespace liveupdate {

namespace {

// Distinct records remembered for the process; past this, each record is simply passed on.
constexpr size_t kMaxDistinctRecords = 256;

struct Repeats {
    std::uint64_t seen = 0;
    bool heard = false;     // the attached sink has the record
    std::uint64_t told = 0; // seen when the attached sink got it
};

// Lives as long as the process: the module stays mapped once loaded, so what a run saw
// survives the launcher's reloads between version checks.
struct RecordBook {
    std::mutex mutex;
    LiveUpdateLogSink sink = nullptr;
    std::map<std::string, Repeats> records;
};

RecordBook& Book() {
    static RecordBook* book = new RecordBook; // never destroyed: records may come at exit
    return *book;
}

void ToSink(LiveUpdateLogSink sink, const std::string& line) {
    if (sink != nullptr)
        sink(line.c_str());
}

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
    RecordBook& book = Book();
    std::lock_guard lock(book.mutex);
    auto found = book.records.find(text);
    if (found == book.records.end()) {
        if (book.records.size() >= kMaxDistinctRecords) {
            ToSink(book.sink, line);
            return;
        }
        found = book.records.emplace(text, Repeats{}).first;
    }
    Repeats& repeats = found->second;
    ++repeats.seen;
    if (book.sink != nullptr && !repeats.heard) {
        ToSink(book.sink, line);
        repeats.heard = true;
        repeats.told = repeats.seen;
    }
}

void AttachLogSink(LiveUpdateLogSink sink) {
    RecordBook& book = Book();
    std::lock_guard lock(book.mutex);
    if (sink == book.sink)
        return; // attached again after a reload: the counts go on
    for (auto& [text, repeats] : book.records) {
        if (repeats.heard && repeats.seen > repeats.told)
            ToSink(book.sink,
                   "LiveUpdate: " + text + " (" + std::to_string(repeats.seen) + " times in all)");
        repeats.heard = false;
    }
    book.sink = sink;
}

} // namespace liveupdate
