// Requests as the monitor's routes see them, and the reading of requests from
// a connection's bytes: Boost.Beast's parser within the monitor's limits, and
// every failure of it, error or exception, a refusal of that one request. No
// sockets here: the server feeds what it reads, the fuzz target its input.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zorenc::monitor {

struct HttpRequest {
    std::string method;                        // "GET"
    std::string target;                        // "/api/settings?x=1"
    std::string path;                          // "/api/settings"
    std::map<std::string, std::string> query;  // decoded
    std::map<std::string, std::string> header; // names in lower case
    std::string body;
    unsigned version = 11; // 10: HTTP/1.0
    bool keepAlive = true;
    // The address the client reached: the connection's own end, IPv4 as
    // such; empty when unknown.
    std::string local;

    // The header's value, empty when absent.
    std::string Header(const std::string &name) const
    {
        const auto it = header.find(name);
        return it == header.end() ? std::string() : it->second;
    }
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // An event stream: the connection stays open after the body (the first
    // events) and receives every Broadcast of its topic (a board's index).
    bool stream = false;
    int topic = 0;
};

// The largest request line and header, and the largest body.
constexpr size_t kMaxHeader = 16 * 1024;
constexpr size_t kMaxBody = 256 * 1024;
// Bytes received but not yet parsed: a chunk's header or the final chunk
// with any trailer must fit (trailer fields are refused once whole).
constexpr size_t kMaxPending = 32 * 1024;

class RequestReader {
public:
    enum class Step {
        kMore,     // needs more bytes
        kContinue, // the header asks for "100 Continue" before the body comes
        kDone,     // a whole request: Take() it
        kRefused,  // malformed or too large: answer Refusal() and close
    };

    RequestReader();
    ~RequestReader();
    RequestReader(const RequestReader &) = delete;
    RequestReader &operator=(const RequestReader &) = delete;

    // Takes bytes that arrived (none: only parses what is buffered, such as
    // a pipelined request) and says what the request needs next. kContinue
    // is said once per request; after kDone or kRefused, the same again.
    Step Feed(const char *data, size_t size);
    // No byte of the next request has come yet.
    bool Idle() const;
    bool HeaderDone() const;
    // After kDone: the request; begins the next one (the bytes after this
    // request stay).
    HttpRequest Take();
    // After kRefused: the 4xx answer and the reason in a few words.
    const HttpResponse &Refusal() const;
    const std::string &Reason() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Percent-decoding of a query component ('+' is a space). False when
// malformed.
bool UrlDecode(const std::string &text, std::string &out);

// Whether text is well-formed UTF-8 (no overlong forms, no surrogates).
bool ValidUtf8(const std::string &text);
// text with every byte that is not part of well-formed UTF-8 written as
// \xNN, for showing names (such as a port's path) that may not be UTF-8.
std::string EscapeInvalidUtf8(const std::string &text);

} // namespace zorenc::monitor
