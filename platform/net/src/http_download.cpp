#include "net/http_download.h"

#include "part_file.h"

#include <curl/curl.h>

#include <deque>
#include <memory>
#include <optional>
#include <string_view>
#include <strings.h>
#include <vector>

namespace net {

namespace {

using Clock = std::chrono::steady_clock;

// The transfer loop wakes at least this often without traffic; it bounds how late an abort or a
// stall takes effect, in every phase of the transfer (connecting included).
constexpr std::chrono::milliseconds kWakeInterval{50};
constexpr std::chrono::milliseconds kProgressInterval{100};
// libcurl's receive buffer, larger than its 16 KiB default: a fast transfer then takes far fewer
// passes through the socket and the loop, and the buffer still stays in the CPU's cache.
constexpr long kReceiveBufferBytes = 512 << 10;
// libcurl hands the body over in pieces of 16 KiB at most; they are gathered into blocks of this
// size before they reach ".part": a write per piece costs more than the copy (measured: a
// 200 MiB body took about a fifth longer written piece by piece).
constexpr size_t kWriteBlockBytes = 512 << 10;
// The rate floor looks back over its window in about this many steps.
constexpr int kRateSteps = 16;

struct ContentRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::optional<std::uint64_t> total; // unset for "*"
};

// Reads a decimal number at the front of text and drops it from text.
std::optional<std::uint64_t> TakeNumber(std::string_view& text) {
    std::uint64_t value = 0;
    size_t digits = 0;
    for (; digits < text.size() && text[digits] >= '0' && text[digits] <= '9'; ++digits) {
        const auto digit = static_cast<std::uint64_t>(text[digits] - '0');
        if (value > (UINT64_MAX - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    if (digits == 0)
        return std::nullopt;
    text.remove_prefix(digits);
    return value;
}

// The value of a header line "Name: value" when the line is that header, without the spaces
// around it and the line break.
std::optional<std::string_view> HeaderValue(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || line[name.size()] != ':' ||
        strncasecmp(line.data(), name.data(), name.size()) != 0)
        return std::nullopt;
    line.remove_prefix(name.size() + 1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ' ||
                             line.back() == '\t'))
        line.remove_suffix(1);
    return line;
}

// The header line "Content-Range: bytes FIRST-LAST/TOTAL"; nullopt for any other line.
std::optional<ContentRange> ParseContentRange(std::string_view line) {
    std::optional<std::string_view> value = HeaderValue(line, "content-range");
    if (!value || !value->starts_with("bytes "))
        return std::nullopt;
    std::string_view text = value->substr(6);
    ContentRange range;
    const auto first = TakeNumber(text);
    if (!first || !text.starts_with('-'))
        return std::nullopt;
    text.remove_prefix(1);
    const auto last = TakeNumber(text);
    if (!last || *last < *first || !text.starts_with('/'))
        return std::nullopt;
    text.remove_prefix(1);
    range.first = *first;
    range.last = *last;
    if (!text.starts_with('*'))
        range.total = TakeNumber(text);
    return range;
}

// True for a "Content-Encoding" line naming a coding other than identity.
bool IsContentCoding(std::string_view line) {
    const std::optional<std::string_view> value = HeaderValue(line, "content-encoding");
    return value && !value->empty() &&
           !(value->size() == 8 && strncasecmp(value->data(), "identity", 8) == 0);
}

// What keeps url from being fetched, in words an operator can act on; nullopt when nothing does.
std::optional<std::string> UrlProblem(const std::string& url) {
    if (url.empty())
        return "the address is empty";
    for (size_t i = 0; i < url.size(); ++i) {
        const auto c = static_cast<unsigned char>(url[i]);
        const std::string where = " (character " + std::to_string(i + 1) + ")";
        if (c == ' ')
            return "the address holds a space" + where + "; in a path or query it is written %20";
        if (c < 0x20 || c == 0x7f)
            return "the address holds the control character " + std::to_string(c) + where +
                   "; remove it or percent-encode it";
    }
    if (url.find("://") == std::string::npos)
        return std::string("the address does not begin with http:// or https://");
    const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), curl_url_cleanup);
    if (!parsed)
        return std::string("the address cannot be read (out of memory)");
    const CURLUcode code = curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0);
    if (code != CURLUE_OK)
        return std::string("the address is malformed: ") + curl_url_strerror(code);
    char* scheme = nullptr;
    if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK)
        return std::string("the address names no scheme");
    const std::string name = scheme;
    curl_free(scheme);
    if (strcasecmp(name.c_str(), "http") != 0 && strcasecmp(name.c_str(), "https") != 0)
        return "the address begins with " + name + "://; only http:// and https:// are fetched";
    return std::nullopt;
}

struct RateSample {
    Clock::time_point time;
    std::uint64_t received = 0;
};

// What the callbacks and the transfer loop share for one request.
struct Transfer {
    Transfer(CURL* handle, PartFile& file, const DownloadOptions& settings,
             Clock::time_point callBegin)
        : curl(handle), part(&file), options(&settings), begin(callBegin) {}

    CURL* curl = nullptr;
    PartFile* part = nullptr;
    const DownloadOptions* options = nullptr;
    Clock::time_point begin;      // the call's start: totalLimit counts from it
    std::uint64_t resumeFrom = 0; // bytes kept from an earlier attempt, asked for with a range
    std::uint64_t base = 0;       // where this answer's body starts in the file
    std::uint64_t received = 0;   // body bytes accepted from base on, as decoded
    std::uint64_t written = 0;    // of those, the ones in ".part"; the rest wait in pending
    std::vector<char> pending;
    std::optional<ContentRange> range;
    bool encoded = false; // the answer's body comes in a content coding libcurl decodes
    bool restart = false; // an encoded partial answer: the file must start again without a range
    bool answerChecked = false;
    long status = 0;
    DownloadError error = DownloadError::None;
    std::string detail;
    Clock::time_point lastByte = begin;
    Clock::time_point lastReport{};
    std::deque<RateSample> samples; // for the rate floor, oldest first

    // Keeps the first reason only: later ones are consequences of it.
    bool Fail(DownloadError reason, std::string text) {
        if (error == DownloadError::None) {
            error = reason;
            detail = std::move(text);
        }
        return false;
    }
};

// Decides once, before the first body byte is stored, whether this answer is the file.
bool CheckAnswer(Transfer& t) {
    t.answerChecked = true;
    curl_easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &t.status);
    if (t.status == 200) {
        // The whole file, also when it answers a range request.
        t.base = 0;
        if (t.part->Size() > 0 && !t.part->Truncate(0))
            return t.Fail(DownloadError::LocalFile, "cannot empty the partial file");
        return true;
    }
    if (t.status == 206 && t.resumeFrom > 0 && t.range && t.range->first == t.resumeFrom) {
        t.base = t.resumeFrom;
        return true;
    }
    return t.Fail(DownloadError::HttpStatus, "HTTP status " + std::to_string(t.status));
}

void ReportProgress(Transfer& t) {
    // An encoded body's length says nothing about the size it decodes to.
    curl_off_t length = -1;
    if (!t.encoded)
        curl_easy_getinfo(t.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    const std::uint64_t expected = length >= 0 ? t.base + static_cast<std::uint64_t>(length) : 0;
    t.options->progress(t.base + t.written, expected);
}

// Moves the gathered body bytes into ".part"; the first block of a transfer is always reported.
bool Flush(Transfer& t) {
    if (t.pending.empty())
        return true;
    const std::uint64_t offset = t.base + t.written;
    if (!t.part->WriteAt(t.pending.data(), t.pending.size(), offset))
        return t.Fail(DownloadError::LocalFile, "cannot write the partial file");
    if (t.options->stored)
        t.options->stored(offset, t.pending.data(), t.pending.size());
    t.written += t.pending.size();
    t.pending.clear();
    const Clock::time_point now = Clock::now();
    if (t.options->progress && now - t.lastReport >= kProgressInterval) {
        t.lastReport = now;
        ReportProgress(t);
    }
    return true;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const std::string_view line(data, size * count);
    // Lines after the body (trailers of a chunked body) cannot change what the answer was.
    if (t.answerChecked)
        return size * count;
    if (line.starts_with("HTTP/")) {
        // A new answer begins (after a redirect or an interim answer): nothing of the last holds.
        t.range.reset();
        t.encoded = false;
    } else if (auto range = ParseContentRange(line)) {
        t.range = range;
    } else if (IsContentCoding(line)) {
        t.encoded = true;
    } else if (line == "\r\n" || line == "\n") {
        // The head ends. A range of an encoded body cannot be decoded on its own, so such an
        // answer is left before libcurl tries to.
        long status = 0;
        curl_easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &status);
        if (status == 206 && t.encoded && t.resumeFrom > 0) {
            t.restart = true;
            t.Fail(DownloadError::HttpStatus, "a partial answer in a content coding");
            return 0;
        }
    }
    return size * count;
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (!t.answerChecked && !CheckAnswer(t))
        return 0;
    // Counted here, on the decoded bytes: libcurl's own size limit sees neither chunked bodies
    // nor what an encoded body grows to.
    if (t.base + t.received + bytes > t.options->maxBytes) {
        t.Fail(DownloadError::TooLarge,
               "body beyond " + std::to_string(t.options->maxBytes) + " bytes");
        return 0;
    }
    if (t.pending.size() + bytes > kWriteBlockBytes && !Flush(t))
        return 0;
    t.pending.insert(t.pending.end(), data, data + bytes);
    t.received += bytes;
    t.lastByte = Clock::now();
    return bytes;
}

// True once the bytes of the last rateWindow average below minRate. A sliding window, so a
// fast start does not carry a trickle that follows it.
bool BelowRateFloor(Transfer& t, Clock::time_point now) {
    const std::chrono::milliseconds window = t.options->rateWindow;
    const auto step = std::max(window / kRateSteps, std::chrono::milliseconds(1));
    if (t.samples.empty() || now - t.samples.back().time >= step)
        t.samples.push_back({now, t.received});
    while (t.samples.size() >= 2 && now - t.samples[1].time >= window)
        t.samples.pop_front();
    const RateSample& oldest = t.samples.front();
    if (now - oldest.time < window)
        return false;
    const double seconds = std::chrono::duration<double>(now - oldest.time).count();
    return static_cast<double>(t.received - oldest.received) <
           static_cast<double>(t.options->minRate) * seconds;
}

// One pass of the transfer loop's watch: false ends the transfer.
bool Watch(Transfer& t) {
    const DownloadOptions& options = *t.options;
    if (options.abort != nullptr && options.abort->load())
        return t.Fail(DownloadError::Aborted, "aborted");
    const Clock::time_point now = Clock::now();
    if (options.totalLimit.count() > 0 && now - t.begin >= options.totalLimit)
        return t.Fail(DownloadError::TimedOut,
                      "not done within " + std::to_string(options.totalLimit.count()) + " ms");
    if (now - t.lastByte >= options.stallLimit)
        return t.Fail(DownloadError::Stalled,
                      "no data for " + std::to_string(options.stallLimit.count()) + " ms");
    if (options.minRate > 0 && BelowRateFloor(t, now))
        return t.Fail(DownloadError::TooSlow,
                      "below " + std::to_string(options.minRate) + " bytes/s over the last " +
                          std::to_string(options.rateWindow.count()) + " ms");
    return true;
}

// Runs the transfer to its end; a stop by Watch or a loop failure is recorded in t.
CURLcode Run(Transfer& t) {
    const std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(),
                                                                      curl_multi_cleanup);
    if (!multi || curl_multi_add_handle(multi.get(), t.curl) != CURLM_OK) {
        t.Fail(DownloadError::Transfer, "cannot start the transfer");
        return CURLE_FAILED_INIT;
    }
    t.pending.reserve(kWriteBlockBytes);
    // The rate is measured from the request on, connecting included.
    t.samples.push_back({Clock::now(), 0});
    t.lastByte = t.samples.front().time;
    int running = 1;
    while (running > 0 && Watch(t)) {
        CURLMcode loop = curl_multi_perform(multi.get(), &running);
        // What one pass brought goes to the file at once, so a slow transfer still moves the
        // file and its progress forward, and nothing waits in memory once the loop ends.
        if (!Flush(t))
            break;
        if (loop == CURLM_OK && running > 0)
            loop = curl_multi_poll(multi.get(), nullptr, 0, static_cast<int>(kWakeInterval.count()),
                                   nullptr);
        if (loop != CURLM_OK) {
            t.Fail(DownloadError::Transfer, curl_multi_strerror(loop));
            break;
        }
    }
    CURLcode code = CURLE_ABORTED_BY_CALLBACK;
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
        if (message->msg == CURLMSG_DONE)
            code = message->data.result;
    }
    curl_multi_remove_handle(multi.get(), t.curl);
    return code;
}

DownloadError ClassifyCurlError(CURLcode code) {
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return DownloadError::BadUrl;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT: // no overall time limit is set: only the connect one
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
        return DownloadError::Connect;
    case CURLE_TOO_MANY_REDIRECTS:
        return DownloadError::HttpStatus;
    default:
        return DownloadError::Transfer;
    }
}

// A finished transfer is a success only with an accepted answer and its whole body.
void CheckComplete(Transfer& t, CURLcode code, const char* curlMessage) {
    if (t.error != DownloadError::None)
        return;
    if (code != CURLE_OK) {
        t.Fail(ClassifyCurlError(code),
               std::string(curl_easy_strerror(code)) + (*curlMessage ? ": " : "") + curlMessage);
        return;
    }
    if (!t.answerChecked && !CheckAnswer(t))
        return;
    // The announced length counts the body as sent, before any decoding.
    curl_off_t length = -1;
    curl_off_t arrived = 0;
    curl_easy_getinfo(t.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    curl_easy_getinfo(t.curl, CURLINFO_SIZE_DOWNLOAD_T, &arrived);
    if (length >= 0 && arrived != length) {
        t.Fail(DownloadError::Transfer, "body ended after " + std::to_string(arrived) + " of " +
                                            std::to_string(length) + " bytes");
        return;
    }
    if (t.status == 206 && (!t.range->total || t.range->last + 1 != *t.range->total ||
                            t.base + t.received != *t.range->total))
        t.Fail(DownloadError::Transfer, "the partial answer does not reach the end of the file");
}

// The detail is one log line: addresses and server texts come from outside and may hold
// line breaks or other control characters.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    return text;
}

DownloadResult Failed(DownloadError error, const std::string& detail) {
    DownloadResult result;
    result.error = error;
    result.detail = OneLine(detail);
    return result;
}

// One request of the call: the range it asks for follows t.resumeFrom.
void Fetch(Transfer& t, char* curlMessage) {
    CURL* handle = t.curl;
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &t);
    const std::string range = std::to_string(t.resumeFrom) + "-";
    curl_easy_setopt(handle, CURLOPT_RANGE, t.resumeFrom > 0 ? range.c_str() : nullptr);
    // Every coding libcurl decodes is welcome, but a continued file is asked for as it is: a
    // range of an encoded body cannot be decoded on its own. An encoded body the server sends
    // unasked is decoded all the same.
    curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, t.resumeFrom > 0 ? "identity" : "");
    CheckComplete(t, Run(t), curlMessage);
    if (t.status == 0)
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &t.status);
}

} // namespace

DownloadResult DownloadToFile(const std::string& url, const std::filesystem::path& destination,
                              const DownloadOptions& options) {
    const Clock::time_point begin = Clock::now();
    if (const std::optional<std::string> problem = UrlProblem(url))
        return Failed(DownloadError::BadUrl, *problem + ": " + url);
    std::string detail;
    if (!IsReplaceableDestination(destination, &detail))
        return Failed(DownloadError::LocalFile, detail);
    std::filesystem::path partPath = destination;
    partPath += ".part";
    PartFile part;
    if (!part.Open(partPath, options.resume, &detail))
        return Failed(DownloadError::LocalFile, detail);
    // A kept part past the cap cannot be continued; the file starts again.
    if (part.Size() > options.maxBytes && !part.Truncate(0)) {
        part.Remove();
        return Failed(DownloadError::LocalFile, "cannot empty " + partPath.string());
    }

    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(),
                                                                   curl_easy_cleanup);
    if (!curl) {
        part.Remove();
        return Failed(DownloadError::Transfer, "cannot create an HTTP handle");
    }
    char curlMessage[CURL_ERROR_SIZE] = {};
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(options.connectTimeout.count()));
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, options.maxRedirects > 0 ? 1L : 0L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, static_cast<long>(options.maxRedirects));
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, curlMessage);
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);

    Transfer first(handle, part, options, begin);
    first.resumeFrom = part.Size();
    Fetch(first, curlMessage);
    Transfer again(handle, part, options, begin);
    Transfer* done = &first;
    if (first.restart) {
        // The server encoded the continuation it was asked for as it is: the whole file, once.
        done = &again;
        curlMessage[0] = '\0';
        if (part.Truncate(0))
            Fetch(again, curlMessage);
        else
            again.Fail(DownloadError::LocalFile, "cannot empty the partial file");
    }
    Transfer& t = *done;
    if (t.error == DownloadError::None && !part.CommitTo(destination, &detail))
        t.Fail(DownloadError::LocalFile, detail);

    DownloadResult result;
    result.error = t.error;
    result.httpStatus = t.status;
    if (result.Ok()) {
        result.bytes = t.base + t.received;
        if (options.progress)
            ReportProgress(t);
        return result;
    }
    result.detail = OneLine(t.detail + " (" + url + ")");
    // A part the server cannot continue (416) would fail every later attempt the same way.
    if (!options.resume || t.status == 416)
        part.Remove();
    return result;
}

bool InitializeNetwork() {
    return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
}

void CleanupNetwork() {
    curl_global_cleanup();
}

const char* DescribeError(DownloadError error) {
    switch (error) {
    case DownloadError::None:
        return "no error";
    case DownloadError::BadUrl:
        return "not an http or https address";
    case DownloadError::Connect:
        return "cannot connect";
    case DownloadError::HttpStatus:
        return "unexpected HTTP status";
    case DownloadError::TooLarge:
        return "body too large";
    case DownloadError::Stalled:
        return "transfer stalled";
    case DownloadError::Aborted:
        return "aborted";
    case DownloadError::LocalFile:
        return "local file error";
    case DownloadError::Transfer:
        return "transfer failed";
    case DownloadError::TooSlow:
        return "transfer too slow";
    case DownloadError::TimedOut:
        return "transfer took too long";
    }
    return "unknown error";
}

} // namespace net
