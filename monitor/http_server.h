// The monitor's HTTP/1.1 server: Boost.Beast over Asio on one io_context (the
// thread that runs it is the only one that touches connections). Requests are
// handed to a handler that answers now or later, from any thread; answers
// marked as event streams keep their connection open for Server-Sent Events.
//
// No client costs the others their turn: every wait on a client has a
// bound, a connection's failure (an error or an exception) ends that
// connection alone, and when every place is taken the connection that has
// waited longest for a request makes room for a new one.
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

#include "http_request.h"

namespace zorenc::monitor {

// Answers a request once, from any thread.
using Reply = std::function<void(HttpResponse)>;
using Handler = std::function<void(const HttpRequest &, Reply)>;
// Takes a line for the operator (a refused request, a dropped connection).
using Logger = std::function<void(const std::string &)>;

class HttpServer {
public:
    // Connections at once, and event streams among them (the rest stay for
    // requests).
    static constexpr size_t kMaxConnections = 64;
    static constexpr size_t kMaxStreams = 32;
    // A connection waits this long for the first byte of a request (a new
    // one, or one kept alive after an answer), then this long for the rest
    // of the header, then this long for the body.
    static constexpr int kIdleSeconds = 5;
    static constexpr int kHeaderSeconds = 10;
    static constexpr int kBodySeconds = 30;
    // An answer, or a batch of events, must be taken within this.
    static constexpr int kWriteSeconds = 20;
    // After an answer that ends its connection (a refused request), what
    // the client still sends is read and dropped for up to this long, so
    // that it reads the answer rather than a reset.
    static constexpr int kLingerSeconds = 2;
    // An event stream with more than this waiting to be sent is closed.
    static constexpr size_t kMaxBacklog = 4 * 1024 * 1024;
    // Lines logged in any 10 s; the rest are counted.
    static constexpr int kLogBurst = 10;

    HttpServer(boost::asio::io_context &io, Handler handler, Logger logger = {});
    ~HttpServer();
    HttpServer(const HttpServer &) = delete;
    HttpServer &operator=(const HttpServer &) = delete;

    // Listens on address:port; when the port is taken and tryNext is set,
    // on the next free one of the following 20. Port 0: any free port.
    // Returns the port. Throws std::runtime_error with the reason.
    uint16_t Listen(const std::string &address, uint16_t port, bool tryNext);

    // Sends text (whole events) to every open event stream of topic. A
    // stream whose client lags too far behind is closed. Only on the
    // io_context's thread.
    void Broadcast(int topic, const std::string &text);
    size_t Streams() const;

    // Stops accepting and closes every connection.
    void Close();

private:
    friend class Connection;
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

} // namespace zorenc::monitor
