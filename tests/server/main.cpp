// launcher-test-server: serves a directory of static files on 127.0.0.1 (Range requests too) for
// tests and the demo, and misbehaves per path as its rules say.
//
//   launcher-test-server --root DIR [--rule PATH=ACTION]... [--port-file FILE] [--log-file FILE]
//                        [--watch-stdin]
//
// The first line on stdout is "port N"; --port-file also writes N to FILE. Each request is
// logged as "METHOD PATH RANGE" (RANGE "-" when the request has none) to --log-file, else to
// stdout. POST /__control with rule lines in the body changes the rules of a running server.
// --watch-stdin: the server ends when its standard input reaches its end (its parent is gone).
#include "tests/server/body_pattern.h"
#include "tests/server/rules.h"

#include <httplib.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace test_server {

namespace {

constexpr size_t kChunkSize = 16 * 1024;
constexpr size_t kStalledBodySize = 1 << 20;
constexpr auto kStallPoll = std::chrono::milliseconds(50);

struct Settings {
    std::filesystem::path root;
    std::vector<std::string> rules;
    std::filesystem::path portFile;
    std::filesystem::path logFile;
    bool watchStdin = false;
};

std::optional<Settings> ParseArguments(int argc, char** argv) {
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--watch-stdin") {
            settings.watchStdin = true;
            continue;
        }
        if (i + 1 == argc)
            return std::nullopt;
        const std::string value = argv[++i];
        if (name == "--root")
            settings.root = value;
        else if (name == "--rule")
            settings.rules.push_back(value);
        else if (name == "--port-file")
            settings.portFile = value;
        else if (name == "--log-file")
            settings.logFile = value;
        else
            return std::nullopt;
    }
    if (settings.root.empty())
        return std::nullopt;
    return settings;
}

// bytes in the gzip format, or in the zlib format that HTTP calls "deflate".
std::string Compress(const std::string& bytes, bool gzip) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, gzip ? 31 : 15, 8, Z_DEFAULT_STRATEGY) !=
        Z_OK)
        return {};
    std::string packed(deflateBound(&stream, static_cast<uLong>(bytes.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = static_cast<uInt>(packed.size());
    const int result = deflate(&stream, Z_FINISH);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return result == Z_STREAM_END ? packed : std::string();
}

// Answers with bytes in chunked encoding: no length, so no range is cut from them.
void SetChunkedBody(httplib::Response& response, std::string bytes) {
    response.set_chunked_content_provider(
        "application/octet-stream",
        [body = std::move(bytes)](size_t offset, httplib::DataSink& sink) {
            if (offset >= body.size()) {
                sink.done();
                return true;
            }
            return sink.write(body.data() + offset, std::min(kChunkSize, body.size() - offset));
        });
}

std::optional<std::string> ReadServedFile(const std::filesystem::path& root,
                                          const std::string& path) {
    if (path.find("..") != std::string::npos)
        return std::nullopt;
    std::ifstream in(root / path.substr(1), std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Answer(const Rule& rule, const std::filesystem::path& root, const httplib::Request& request,
            httplib::Response& response) {
    constexpr const char* kBinary = "application/octet-stream";
    switch (rule.action) {
    case Rule::Action::File:
        break;
    case Rule::Action::NotFound:
        response.status = 404;
        response.set_content("not found", "text/plain");
        break;
    case Rule::Action::Redirect:
        response.set_redirect(rule.text, 302);
        break;
    case Rule::Action::Body:
        response.set_content(rule.text, kBinary);
        break;
    case Rule::Action::Stall:
        response.set_content_provider(kStalledBodySize, kBinary,
                                      [](size_t, size_t, httplib::DataSink& sink) {
                                          while (sink.is_writable())
                                              std::this_thread::sleep_for(kStallPoll);
                                          return false;
                                      });
        break;
    case Rule::Action::CloseAfter: {
        auto content = ReadServedFile(root, request.path);
        if (!content) {
            response.status = 404;
            break;
        }
        const size_t size = content->size();
        const size_t cut = static_cast<size_t>(std::min<std::uint64_t>(rule.count, size));
        response.set_content_provider(
            size, kBinary,
            [body = std::move(*content), cut](size_t offset, size_t length,
                                              httplib::DataSink& sink) {
                if (offset >= cut)
                    return false; // the connection closes without the rest of the body
                return sink.write(body.data() + offset, std::min(length, cut - offset));
            });
        break;
    }
    case Rule::Action::Chunked:
        response.status = 200; // the whole body, also to a range request
        response.set_chunked_content_provider(
            kBinary, [total = rule.count](size_t offset, httplib::DataSink& sink) {
                if (offset >= total) {
                    sink.done();
                    return true;
                }
                const size_t size =
                    static_cast<size_t>(std::min<std::uint64_t>(kChunkSize, total - offset));
                const std::string chunk = PatternBytes(offset, size);
                return sink.write(chunk.data(), chunk.size());
            });
        break;
    case Rule::Action::Drip:
        response.set_content_provider(
            rule.count, kBinary, [rule](size_t offset, size_t length, httplib::DataSink& sink) {
                size_t size =
                    static_cast<size_t>(rule.burst - std::min<std::uint64_t>(offset, rule.burst));
                if (size == 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(rule.intervalMs));
                    size = static_cast<size_t>(rule.piece);
                }
                const std::string bytes = PatternBytes(offset, std::min(size, length));
                return sink.is_writable() && sink.write(bytes.data(), bytes.size());
            });
        break;
    case Rule::Action::Gzip:
    case Rule::Action::Deflate: {
        auto content = ReadServedFile(root, request.path);
        if (!content) {
            response.status = 404;
            break;
        }
        const bool gzip = rule.action == Rule::Action::Gzip;
        response.set_header("Content-Encoding", gzip ? "gzip" : "deflate");
        std::string packed = Compress(*content, gzip);
        const size_t size = packed.size();
        response.set_content_provider(
            size, kBinary,
            [body = std::move(packed)](size_t offset, size_t length, httplib::DataSink& sink) {
                return sink.write(body.data() + offset, length);
            });
        break;
    }
    case Rule::Action::Echo:
        response.status = 200;
        SetChunkedBody(response, request.get_header_value(rule.text));
        break;
    case Rule::Action::PartialFrom: {
        auto content = ReadServedFile(root, request.path);
        if (!content || rule.count >= content->size()) {
            response.status = 404;
            break;
        }
        response.status = 206;
        response.set_header("Content-Range", "bytes " + std::to_string(rule.count) + "-" +
                                                 std::to_string(content->size() - 1) + "/" +
                                                 std::to_string(content->size()));
        SetChunkedBody(response, content->substr(static_cast<size_t>(rule.count)));
        break;
    }
    }
}

bool WritePortFile(const std::filesystem::path& file, int port) {
    // Written beside and renamed, so a reader never sees half a number.
    std::filesystem::path temporary = file;
    temporary += ".tmp";
    {
        std::ofstream out(temporary);
        out << port << "\n";
        if (!out)
            return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    return !error;
}

// Says why the server cannot run; its exit code.
int Fail(const std::string& why, int exitCode = 1) {
    std::fprintf(stderr, "launcher-test-server: %s\n", why.c_str());
    return exitCode;
}

int Serve(const Settings& settings) {
    RuleBook rules;
    for (const std::string& rule : settings.rules) {
        if (!rules.Apply(rule))
            return Fail("bad rule: " + rule, 2);
    }
    std::FILE* log = settings.logFile.empty() ? stdout : std::fopen(settings.logFile.c_str(), "a");
    std::mutex logMutex;
    if (log == nullptr)
        return Fail("cannot open the log file");
    httplib::Server server;
    server.set_pre_routing_handler(
        [&](const httplib::Request& request, httplib::Response& response) {
            // Logged before the answer, so that a client that got its answer finds its request.
            const std::string range = request.get_header_value("Range");
            {
                const std::lock_guard lock(logMutex);
                std::fprintf(log, "%s %s %s\n", request.method.c_str(), request.path.c_str(),
                             range.empty() ? "-" : range.c_str());
                std::fflush(log);
            }
            const std::optional<Rule> rule =
                request.path == "/__control" ? std::nullopt : rules.Find(request.path);
            if (!rule)
                return httplib::Server::HandlerResponse::Unhandled;
            Answer(*rule, settings.root, request, response);
            return httplib::Server::HandlerResponse::Handled;
        });
    server.Post("/__control", [&](const httplib::Request& request, httplib::Response& response) {
        std::istringstream lines(request.body);
        for (std::string line; std::getline(lines, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty() && !rules.Apply(line)) {
                response.status = 400;
                response.set_content("bad rule: " + line + "\n", "text/plain");
                return;
            }
        }
        response.set_content("ok\n", "text/plain");
    });
    // The library compresses files of text types for any client that accepts it, brotli at its
    // slowest setting (20 s for a 12 MiB list). Data files go out as they are; the gzip and
    // deflate rules say when a body is encoded.
    for (const char* extension : {"xml", "txt"})
        server.set_file_extension_and_mimetype_mapping(extension, "application/octet-stream");
    if (!server.set_mount_point("/", settings.root.string()))
        return Fail("cannot serve " + settings.root.string());
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        return Fail("cannot listen on 127.0.0.1");
    if (!settings.portFile.empty() && !WritePortFile(settings.portFile, port))
        return Fail("cannot write the port file");
    std::printf("port %d\n", port);
    std::fflush(stdout);
    if (settings.watchStdin) {
        std::thread([] {
            char byte = 0;
            while (read(STDIN_FILENO, &byte, 1) > 0) {
            }
            _exit(0); // stalled answers would hold an orderly stop
        }).detach();
    }
    return server.listen_after_bind() ? 0 : 1;
}

} // namespace

} // namespace test_server

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    const auto settings = test_server::ParseArguments(argc, argv);
    if (!settings) {
        std::fprintf(stderr, "usage: launcher-test-server --root DIR [--rule PATH=ACTION]... "
                             "[--port-file FILE] [--log-file FILE] [--watch-stdin]\n");
        return 2;
    }
    return test_server::Serve(*settings);
}
