#include "http_server.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <deque>
#include <optional>
#include <set>
#include <stdexcept>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>

namespace zorenc::monitor {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using boost::system::error_code;

namespace {

// A connection that stays silent this long between requests is closed.
constexpr std::chrono::seconds kIdle{60};
// An event stream with more than this waiting to be sent is closed.
constexpr size_t kMaxBacklog = 4 * 1024 * 1024;

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

std::map<std::string, std::string> ParseQuery(const std::string &query)
{
    std::map<std::string, std::string> result;
    size_t start = 0;
    while (start < query.size()) {
        size_t end = query.find('&', start);
        end = end == std::string::npos ? query.size() : end;
        const std::string part = query.substr(start, end - start);
        const size_t eq = part.find('=');
        std::string name;
        std::string value;
        if (UrlDecode(part.substr(0, eq), name) &&
            (eq == std::string::npos || UrlDecode(part.substr(eq + 1), value))) {
            result[name] = value;
        }
        start = end + 1;
    }
    return result;
}

} // namespace

bool UrlDecode(const std::string &text, std::string &out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%') {
            if (i + 2 >= text.size()) {
                return false;
            }
            const int hi = HexDigit(text[i + 1]);
            const int lo = HexDigit(text[i + 2]);
            if (hi < 0 || lo < 0) {
                return false;
            }
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return true;
}

class Connection;

struct HttpServer::Impl : std::enable_shared_from_this<HttpServer::Impl> {
    Impl(asio::io_context &context, Handler h)
        : io(context), acceptor(context), handler(std::move(h))
    {
    }

    asio::io_context &io;
    tcp::acceptor acceptor;
    Handler handler;
    std::set<std::shared_ptr<Connection>> connections;
    std::set<std::shared_ptr<Connection>> streams;
    bool closed = false;

    void Accept();
};

// One client connection: requests one after another (keep-alive), or, once
// it has become an event stream, only writes.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(tcp::socket socket, std::weak_ptr<HttpServer::Impl> server)
        : stream_(std::move(socket)), server_(std::move(server))
    {
    }

    void Start() { Read(); }

    void Close()
    {
        error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.close();
    }

    // Queues text on an event stream.
    void Send(const std::string &text)
    {
        if (backlog_ + text.size() > kMaxBacklog) {
            Finish(); // a client that does not read is let go
            return;
        }
        backlog_ += text.size();
        queue_.push_back(text);
        if (!writing_) {
            WriteQueued();
        }
    }

private:
    void Read()
    {
        parser_.emplace();
        parser_->body_limit(HttpServer::kMaxBody);
        parser_->header_limit(16 * 1024);
        stream_.expires_after(kIdle);
        http::async_read(stream_, buffer_, *parser_,
                         [self = shared_from_this()](error_code ec, size_t) { self->OnRead(ec); });
    }

    void OnRead(error_code ec)
    {
        if (ec) {
            if (ec != http::error::end_of_stream && ec != asio::error::operation_aborted) {
                // A malformed or oversized request gets a plain answer.
                if (ec == http::error::body_limit || ec == http::error::header_limit ||
                    ec.category() == http::make_error_code(http::error::bad_target).category()) {
                    HttpResponse r;
                    r.status = ec == http::error::body_limit ? 413 : 400;
                    r.contentType = "text/plain";
                    r.body = "bad request: " + ec.message() + "\n";
                    keepAlive_ = false;
                    Write(std::move(r));
                    return;
                }
            }
            Finish();
            return;
        }
        const auto &message = parser_->get();
        HttpRequest request;
        request.method = std::string(message.method_string());
        request.target = std::string(message.target());
        const size_t q = request.target.find('?');
        request.path = request.target.substr(0, q);
        if (q != std::string::npos) {
            request.query = ParseQuery(request.target.substr(q + 1));
        }
        for (const auto &field : message) {
            std::string name(field.name_string());
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            request.header[name] = std::string(field.value());
        }
        request.body = message.body();
        keepAlive_ = message.keep_alive();
        version_ = message.version();
        stream_.expires_never();

        auto server = server_.lock();
        if (!server) {
            Finish();
            return;
        }
        // The handler may answer from another thread; the answer is carried
        // to this connection's thread, and only the first one counts.
        std::weak_ptr<Connection> weak = shared_from_this();
        asio::io_context &io = server->io;
        Reply reply = [weak, &io](HttpResponse response) {
            asio::post(io, [weak, response = std::move(response)]() mutable {
                if (auto self = weak.lock()) {
                    self->Write(std::move(response));
                }
            });
        };
        try {
            server->handler(request, std::move(reply));
        } catch (const std::exception &error) {
            HttpResponse r;
            r.status = 500;
            r.contentType = "text/plain";
            r.body = std::string("internal error: ") + error.what() + "\n";
            Write(std::move(r));
        }
    }

    void Write(HttpResponse response)
    {
        if (answered_) {
            return;
        }
        answered_ = true;
        auto message = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(response.status), version_);
        message->set(http::field::server, "zorenc-monitor");
        message->set(http::field::content_type, response.contentType);
        message->set(http::field::cache_control, "no-store");
        message->set("X-Content-Type-Options", "nosniff");
        for (const auto &[name, value] : response.headers) {
            message->set(name, value);
        }
        if (response.stream) {
            // The body is left open: the events follow as they come.
            auto server = server_.lock();
            if (!server) {
                Finish();
                return;
            }
            server->streams.insert(shared_from_this());
            // No length: the body ends when the connection does.
            std::string head = "HTTP/1.1 200 OK\r\n";
            for (const auto &field : *message) {
                head +=
                    std::string(field.name_string()) + ": " + std::string(field.value()) + "\r\n";
            }
            head += "\r\n";
            Send(head + response.body);
            return;
        }
        message->body() = std::move(response.body);
        message->keep_alive(keepAlive_);
        message->prepare_payload();
        http::async_write(stream_, *message,
                          [self = shared_from_this(), message](error_code ec, size_t) {
                              if (ec || !self->keepAlive_) {
                                  self->Finish();
                                  return;
                              }
                              self->answered_ = false;
                              self->Read();
                          });
    }

    void WriteQueued()
    {
        if (queue_.empty()) {
            writing_ = false;
            return;
        }
        writing_ = true;
        auto text = std::make_shared<std::string>(std::move(queue_.front()));
        queue_.pop_front();
        stream_.expires_after(kIdle);
        asio::async_write(stream_.socket(), asio::buffer(*text),
                          [self = shared_from_this(), text](error_code ec, size_t) {
                              self->backlog_ -= std::min(self->backlog_, text->size());
                              if (ec) {
                                  self->Finish();
                                  return;
                              }
                              self->WriteQueued();
                          });
        // An event stream also notices a client that closed: a read ends.
        if (!watching_) {
            watching_ = true;
            auto sink = std::make_shared<std::array<char, 256>>();
            WatchClose(sink);
        }
    }

    void WatchClose(std::shared_ptr<std::array<char, 256>> sink)
    {
        stream_.socket().async_read_some(asio::buffer(*sink),
                                         [self = shared_from_this(), sink](error_code ec, size_t) {
                                             if (ec) {
                                                 self->Finish();
                                                 return;
                                             }
                                             self->WatchClose(sink);
                                         });
    }

    void Finish()
    {
        if (finished_) {
            return;
        }
        finished_ = true;
        Close();
        if (auto server = server_.lock()) {
            auto self = shared_from_this();
            server->streams.erase(self);
            server->connections.erase(self);
        }
    }

    beast::tcp_stream stream_;
    std::weak_ptr<HttpServer::Impl> server_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    bool keepAlive_ = false;
    unsigned version_ = 11;
    bool answered_ = false;
    bool writing_ = false;
    bool watching_ = false;
    bool finished_ = false;
    std::deque<std::string> queue_;
    size_t backlog_ = 0;
};

void HttpServer::Impl::Accept()
{
    acceptor.async_accept([weak = weak_from_this()](error_code ec, tcp::socket socket) {
        auto self = weak.lock();
        if (!self || self->closed) {
            return;
        }
        if (!ec) {
            if (self->connections.size() >= kMaxConnections) {
                error_code ignored;
                socket.close(ignored); // refused: too many at once
            } else {
                auto connection = std::make_shared<Connection>(std::move(socket), self);
                self->connections.insert(connection);
                connection->Start();
            }
        }
        self->Accept();
    });
}

HttpServer::HttpServer(asio::io_context &io, Handler handler)
    : impl_(std::make_shared<Impl>(io, std::move(handler)))
{
}

HttpServer::~HttpServer()
{
    Close();
}

uint16_t HttpServer::Listen(const std::string &address, uint16_t port, bool tryNext)
{
    error_code ec;
    const asio::ip::address ip = asio::ip::make_address(address, ec);
    if (ec) {
        throw std::runtime_error("'" + address + "' is not an IP address");
    }
    const int tries = tryNext && port != 0 ? 21 : 1;
    for (int i = 0; i < tries; ++i) {
        const tcp::endpoint endpoint(ip, static_cast<uint16_t>(port + i));
        tcp::acceptor &a = impl_->acceptor;
        error_code ignored;
        a.close(ignored);
        a.open(endpoint.protocol(), ec);
        if (!ec) {
#ifndef _WIN32
            // Lets a restarted monitor take its port back at once; Windows
            // would let two servers share the port instead.
            a.set_option(tcp::acceptor::reuse_address(true), ignored);
#else
            a.set_option(
                asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE>(true),
                ignored);
#endif
            a.bind(endpoint, ec);
        }
        if (!ec) {
            a.listen(asio::socket_base::max_listen_connections, ec);
        }
        if (!ec) {
            impl_->Accept();
            return a.local_endpoint().port();
        }
        if (ec != asio::error::address_in_use && ec != asio::error::access_denied) {
            break;
        }
    }
    throw std::runtime_error("cannot listen on " + address + ":" + std::to_string(port) + ": " +
                             ec.message());
}

void HttpServer::Broadcast(const std::string &text)
{
    // Sending may close a stream, which takes it out of the set.
    const std::vector<std::shared_ptr<Connection>> list(impl_->streams.begin(),
                                                        impl_->streams.end());
    for (const auto &c : list) {
        c->Send(text);
    }
}

size_t HttpServer::Streams() const
{
    return impl_->streams.size();
}

void HttpServer::Close()
{
    impl_->closed = true;
    error_code ignored;
    impl_->acceptor.close(ignored);
    const auto list = impl_->connections;
    for (const auto &c : list) {
        c->Close();
    }
    impl_->connections.clear();
    impl_->streams.clear();
}

} // namespace zorenc::monitor
