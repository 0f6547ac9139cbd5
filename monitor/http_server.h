// The monitor's HTTP/1.1 server: Boost.Beast over Asio on one io_context (the
// thread that runs it is the only one that touches connections). Requests are
// handed to a handler that answers now or later, from any thread; answers
// marked as event streams keep their connection open for Server-Sent Events.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <boost/asio/io_context.hpp>

namespace zorenc::monitor {

struct HttpRequest {
    std::string method;                        // "GET"
    std::string target;                        // "/api/settings?x=1"
    std::string path;                          // "/api/settings"
    std::map<std::string, std::string> query;  // decoded
    std::map<std::string, std::string> header; // names in lower case
    std::string body;

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
    // events) and receives every Broadcast.
    bool stream = false;
};

// Answers a request once, from any thread.
using Reply = std::function<void(HttpResponse)>;
using Handler = std::function<void(const HttpRequest &, Reply)>;

class HttpServer {
public:
    static constexpr size_t kMaxConnections = 64;
    static constexpr size_t kMaxBody = 256 * 1024;

    HttpServer(boost::asio::io_context &io, Handler handler);
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Listens on address:port; when the port is taken and tryNext is set,
    // on the next free one of the following 20. Port 0: any free port.
    // Returns the port. Throws std::runtime_error with the reason.
    uint16_t Listen(const std::string &address, uint16_t port, bool tryNext);

    // Sends text (whole events) to every open event stream. A stream whose
    // client lags too far behind is closed. Only on the io_context's thread.
    void Broadcast(const std::string &text);
    size_t Streams() const;

    // Stops accepting and closes every connection.
    void Close();

private:
    friend class Connection;
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

// Percent-decoding of a query component ('+' is a space). False when
// malformed.
bool UrlDecode(const std::string &text, std::string &out);

} // namespace zorenc::monitor
