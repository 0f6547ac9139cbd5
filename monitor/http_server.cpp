#include "http_server.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <set>
#include <stdexcept>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>

namespace zorenc::monitor {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using boost::system::error_code;

namespace {

using Clock = std::chrono::steady_clock;

const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

// The address as a client names it: an IPv4 address reached through an
// IPv6 socket as IPv4.
std::string AddressText(const asio::ip::address &address)
{
    if (address.is_v6() && address.to_v6().is_v4_mapped()) {
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).to_string();
    }
    return address.to_string();
}

} // namespace

class Connection;

struct HttpServer::Impl : std::enable_shared_from_this<HttpServer::Impl> {
    Impl(asio::io_context &context, Handler h, Logger l)
        : io(context), acceptor(context), handler(std::move(h)), logger(std::move(l))
    {
    }

    asio::io_context &io;
    tcp::acceptor acceptor;
    Handler handler;
    Logger logger;
    std::set<std::shared_ptr<Connection>> connections;
    std::set<std::shared_ptr<Connection>> streams;
    bool closed = false;
    // The log's current 10 s: when it began, lines logged, lines left out.
    Clock::time_point logWindow;
    int logged = 0;
    int leftOut = 0;

    void Accept();
    bool MakeRoom();

    // A line for the operator; in a flood only the first few of each 10 s.
    void Log(const std::string &line)
    {
        if (!logger) {
            return;
        }
        const auto now = Clock::now();
        if (now - logWindow >= std::chrono::seconds(10)) {
            if (leftOut > 0) {
                logger(std::to_string(leftOut) + " more such lines left out");
            }
            logWindow = now;
            logged = 0;
            leftOut = 0;
        }
        if (logged < kLogBurst) {
            ++logged;
            logger(line);
        } else {
            ++leftOut;
        }
    }
};

// One client connection: requests one after another (keep-alive), or, once
// it has become an event stream, only writes. Every wait on the client has a
// deadline, and every handler of it catches what is thrown within: a
// failure ends this connection and no other.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(tcp::socket socket, std::weak_ptr<HttpServer::Impl> server)
        : stream_(std::move(socket)), server_(std::move(server))
    {
    }

    void Start()
    {
        Guarded([&] {
            error_code ec;
            const tcp::endpoint local = stream_.socket().local_endpoint(ec);
            if (!ec) {
                local_ = AddressText(local.address());
            }
            const tcp::endpoint peer = stream_.socket().remote_endpoint(ec);
            peer_ = ec ? "?" : AddressText(peer.address()) + ":" + std::to_string(peer.port());
            WaitForRequest();
        });
    }

    void Close()
    {
        error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream_.socket().close(ignored);
    }

    // Waiting for a request: a new connection, one kept alive after an
    // answer, or one whose request is still coming. Such a connection may be
    // closed to make room for a new one.
    bool Waiting() const { return phase_ == Phase::kWaiting && !finished_; }
    Clock::time_point WaitingSince() const { return waitingSince_; }

    int Topic() const { return topic_; }

    // Queues text on an event stream.
    void Send(const std::string &text)
    {
        if (backlog_ + text.size() > HttpServer::kMaxBacklog) {
            Finish(); // a client that does not read is let go
            return;
        }
        backlog_ += text.size();
        queue_.push_back(text);
        if (!writing_) {
            WriteQueued();
        }
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

private:
    enum class Phase { kWaiting, kBusy, kStream };

    // Runs a step of this connection; what it throws ends this connection.
    template <typename Fn> void Guarded(Fn step)
    {
        try {
            step();
        } catch (const std::exception &error) {
            Log(std::string("dropped the connection: ") + error.what());
            Finish();
        } catch (...) {
            Log("dropped the connection: an unknown exception");
            Finish();
        }
    }

    void Log(const std::string &text)
    {
        if (auto server = server_.lock()) {
            server->Log(peer_ + ": " + text);
        }
    }

    void WaitForRequest()
    {
        phase_ = Phase::kWaiting;
        waitingSince_ = Clock::now();
        deadline_ = waitingSince_ + std::chrono::seconds(HttpServer::kIdleSeconds);
        headerTimed_ = false;
        bodyTimed_ = false;
        answered_ = false;
        head_ = false;
        Proceed(reader_.Feed(nullptr, 0)); // a request that came along with the last
    }

    // What the request being read needs next.
    void Proceed(RequestReader::Step step)
    {
        using Step = RequestReader::Step;
        if (step == Step::kDone) {
            phase_ = Phase::kBusy;
            Handle(reader_.Take());
            return;
        }
        if (step == Step::kRefused) {
            phase_ = Phase::kBusy;
            const HttpResponse &refusal = reader_.Refusal();
            Log("refused a request: " + std::to_string(refusal.status) + " " + reader_.Reason());
            keepAlive_ = false;
            version_ = 11;
            Write(refusal);
            return;
        }
        // The deadlines of a request: a time for its header from its first
        // byte, then one for its body.
        if (!headerTimed_ && !reader_.Idle()) {
            headerTimed_ = true;
            deadline_ = Clock::now() + std::chrono::seconds(HttpServer::kHeaderSeconds);
        }
        if (!bodyTimed_ && reader_.HeaderDone()) {
            bodyTimed_ = true;
            deadline_ = Clock::now() + std::chrono::seconds(HttpServer::kBodySeconds);
        }
        if (step == Step::kContinue) {
            stream_.expires_after(std::chrono::seconds(HttpServer::kWriteSeconds));
            asio::async_write(stream_, asio::buffer(kContinue),
                              [self = shared_from_this()](error_code ec, size_t) {
                                  self->Guarded([&] {
                                      if (ec) {
                                          self->Finish();
                                          return;
                                      }
                                      self->ReadMore();
                                  });
                              });
            return;
        }
        ReadMore();
    }

    void ReadMore()
    {
        stream_.expires_at(deadline_);
        stream_.async_read_some(
            asio::buffer(chunk_), [self = shared_from_this()](error_code ec, size_t size) {
                self->Guarded([&] {
                    if (self->finished_) {
                        return;
                    }
                    if (ec) {
                        // Closed, reset or out of time: nothing to answer.
                        self->Finish();
                        return;
                    }
                    self->Proceed(self->reader_.Feed(self->chunk_.data(), size));
                });
            });
    }

    void Handle(HttpRequest request)
    {
        stream_.expires_never();
        request.local = local_;
        keepAlive_ = request.keepAlive;
        version_ = request.version;
        head_ = request.method == "HEAD";
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
                    self->Guarded([&] { self->Write(std::move(response)); });
                }
            });
        };
        try {
            server->handler(request, std::move(reply));
        } catch (const std::exception &error) {
            Log(std::string("internal error: ") + error.what());
            HttpResponse r;
            r.status = 500;
            r.contentType = "text/plain";
            r.body = std::string("internal error: ") + error.what() + "\n";
            Write(std::move(r));
        }
    }

    void Write(HttpResponse response)
    {
        if (answered_ || finished_) {
            return;
        }
        answered_ = true;
        auto server = server_.lock();
        if (!server) {
            Finish();
            return;
        }
        if (response.stream && !head_ && server->streams.size() >= HttpServer::kMaxStreams) {
            response = HttpResponse();
            response.status = 503;
            response.contentType = "text/plain";
            response.body = "busy: " + std::to_string(HttpServer::kMaxStreams) +
                            " event streams are open already\n";
            response.headers.emplace_back("Retry-After", "5");
        }
        auto message = std::make_shared<http::response<http::string_body>>(
            static_cast<http::status>(response.status), version_);
        message->set(http::field::server, "zorenc-monitor");
        message->set(http::field::content_type, response.contentType);
        message->set(http::field::cache_control, "no-store");
        message->set("X-Content-Type-Options", "nosniff");
        for (const auto &[name, value] : response.headers) {
            message->set(name, value);
        }
        if (response.stream && !head_) {
            // The body is left open: the events follow as they come.
            phase_ = Phase::kStream;
            topic_ = response.topic;
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
        message->keep_alive(keepAlive_);
        if (!response.stream) {
            message->body() = std::move(response.body);
            message->prepare_payload();
        }
        if (head_) {
            // The header of the answer a GET gets, its length with it.
            message->body().clear();
        }
        stream_.expires_after(std::chrono::seconds(HttpServer::kWriteSeconds));
        http::async_write(stream_, *message,
                          [self = shared_from_this(), message](error_code ec, size_t) {
                              self->Guarded([&] {
                                  if (ec) {
                                      self->Finish();
                                  } else if (!self->keepAlive_) {
                                      self->Linger();
                                  } else {
                                      self->WaitForRequest();
                                  }
                              });
                          });
    }

    // Ends the connection after its last answer: closing with unread bytes
    // would reset it, and the client could lose the answer with them.
    void Linger()
    {
        error_code ignored;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ignored);
        stream_.expires_after(std::chrono::seconds(HttpServer::kLingerSeconds));
        Drain(0);
    }

    void Drain(size_t dropped)
    {
        stream_.async_read_some(asio::buffer(chunk_),
                                [self = shared_from_this(), dropped](error_code ec, size_t size) {
                                    self->Guarded([&] {
                                        if (ec || dropped + size > kMaxBody) {
                                            self->Finish();
                                            return;
                                        }
                                        self->Drain(dropped + size);
                                    });
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
        stream_.expires_after(std::chrono::seconds(HttpServer::kWriteSeconds));
        asio::async_write(stream_, asio::buffer(*text),
                          [self = shared_from_this(), text](error_code ec, size_t) {
                              self->Guarded([&] {
                                  self->backlog_ -= std::min(self->backlog_, text->size());
                                  if (ec) {
                                      self->Finish();
                                      return;
                                  }
                                  self->WriteQueued();
                              });
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
                                             self->Guarded([&] {
                                                 if (ec) {
                                                     self->Finish();
                                                     return;
                                                 }
                                                 self->WatchClose(sink);
                                             });
                                         });
    }

    beast::tcp_stream stream_;
    int topic_ = 0; // of an event stream
    std::weak_ptr<HttpServer::Impl> server_;
    std::string local_;
    std::string peer_ = "?";
    RequestReader reader_;
    std::array<char, 16 * 1024> chunk_{};
    Phase phase_ = Phase::kWaiting;
    Clock::time_point waitingSince_;
    Clock::time_point deadline_;
    bool headerTimed_ = false;
    bool bodyTimed_ = false;
    bool keepAlive_ = false;
    unsigned version_ = 11;
    bool head_ = false;
    bool answered_ = false;
    bool writing_ = false;
    bool watching_ = false;
    bool finished_ = false;
    std::deque<std::string> queue_;
    size_t backlog_ = 0;
};

// Every place is taken: the connection that has waited longest for a
// request is closed for the new one. False when all are busy or streams.
bool HttpServer::Impl::MakeRoom()
{
    std::shared_ptr<Connection> oldest;
    for (const auto &c : connections) {
        if (c->Waiting() && (!oldest || c->WaitingSince() < oldest->WaitingSince())) {
            oldest = c;
        }
    }
    if (!oldest) {
        return false;
    }
    oldest->Finish();
    return true;
}

void HttpServer::Impl::Accept()
{
    acceptor.async_accept([weak = weak_from_this()](error_code ec, tcp::socket socket) {
        auto self = weak.lock();
        if (!self || self->closed) {
            return;
        }
        if (!ec) {
            if (self->connections.size() >= kMaxConnections && !self->MakeRoom()) {
                error_code ignored;
                socket.close(ignored); // refused: every place is busy
            } else {
                auto connection = std::make_shared<Connection>(std::move(socket), self);
                self->connections.insert(connection);
                connection->Start();
            }
        }
        self->Accept();
    });
}

HttpServer::HttpServer(asio::io_context &io, Handler handler, Logger logger)
    : impl_(std::make_shared<Impl>(io, std::move(handler), std::move(logger)))
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

void HttpServer::Broadcast(int topic, const std::string &text)
{
    // Sending may close a stream, which takes it out of the set.
    const std::vector<std::shared_ptr<Connection>> list(impl_->streams.begin(),
                                                        impl_->streams.end());
    for (const auto &c : list) {
        if (c->Topic() == topic) {
            c->Send(text);
        }
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
