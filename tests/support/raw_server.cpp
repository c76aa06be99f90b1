#include "tests/support/raw_server.h"

#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <csignal>
#include <cstdlib>

#include "tests/support/tls_identity.h"

namespace tarnwick::test {

namespace {

constexpr std::chrono::milliseconds kNoLimit{-1};
constexpr std::string_view kHeadEnd = "\r\n\r\n";
constexpr std::string_view kContentLength = "\r\nContent-Length: ";

// Copies bytes both ways until either side ends or the server stops.
void Pump(int a, int b, const StopSignal& stop) {
    std::array<char, std::size_t{64} * 1024> chunk{};
    for (pollfd fds[3] = {{stop.Fd(), POLLIN, 0}, {a, POLLIN, 0}, {b, POLLIN, 0}};
         ::poll(fds, 3, -1) > 0 && fds[0].revents == 0;) {
        const int from = fds[1].revents != 0 ? a : b;
        const ssize_t got = ::recv(from, chunk.data(), chunk.size(), 0);
        if (got <= 0 || !SendAll(from == a ? b : a,
                                 std::string_view(chunk.data(), static_cast<std::size_t>(got)))) {
            return;
        }
    }
}

}  // namespace

Connection::Connection(Socket socket, const StopSignal& stop)
    : socket_(std::move(socket)), stop_(stop), tls_(nullptr, SSL_free) {}

bool Connection::AcceptTls(const TlsIdentity& identity) {
    tls_.reset(identity.Context() != nullptr ? SSL_new(identity.Context()) : nullptr);
    // Waiting first keeps a stop able to end it; then the client completes or closes.
    return tls_ && SSL_set_fd(tls_.get(), socket_.Fd()) == 1 &&
           WaitReadable(socket_.Fd(), stop_, kNoLimit) == WaitResult::kReady &&
           SSL_accept(tls_.get()) == 1;
}

bool Connection::Fill(std::chrono::milliseconds timeout) {
    if (!socket_.Valid() || (!(tls_ && SSL_pending(tls_.get()) > 0) &&
                             WaitReadable(socket_.Fd(), stop_, timeout) != WaitResult::kReady)) {
        return false;
    }
    std::array<char, std::size_t{64} * 1024> chunk{};
    const ssize_t got = tls_ ? SSL_read(tls_.get(), chunk.data(), static_cast<int>(chunk.size()))
                             : ::recv(socket_.Fd(), chunk.data(), chunk.size(), 0);
    if (got <= 0) {
        return false;
    }
    buffer_.append(chunk.data(), static_cast<std::size_t>(got));
    return true;
}

std::optional<std::string> Connection::ReadRequest() {
    std::size_t size = 0;
    while ((size = buffer_.find(kHeadEnd)) == std::string::npos) {
        if (!Fill(kNoLimit)) {
            return std::nullopt;
        }
    }
    size += kHeadEnd.size();
    const std::size_t field = std::string_view(buffer_).substr(0, size).find(kContentLength);
    if (field != std::string::npos) {
        size += std::strtoul(buffer_.c_str() + field + kContentLength.size(), nullptr, 10);
    }
    while (buffer_.size() < size) {
        if (!Fill(kNoLimit)) {
            return std::nullopt;
        }
    }
    std::string request = buffer_.substr(0, size);
    buffer_.erase(0, size);
    return request;
}

bool Connection::Send(std::string_view bytes) {
    if (!Open()) {
        return false;
    }
    // Without partial writes, SSL_write sends all or fails.
    return tls_ ? bytes.empty() ||
                      SSL_write(tls_.get(), bytes.data(), static_cast<int>(bytes.size())) > 0
                : SendAll(socket_.Fd(), bytes);
}

void Connection::Drip(std::string_view bytes, std::chrono::milliseconds pause) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!Send(bytes.substr(i, 1)) ||
            WaitReadable(socket_.Fd(), stop_, pause) != WaitResult::kTimedOut) {
            return;
        }
    }
}

void Connection::HoldUntilPeerCloses(std::chrono::milliseconds idleLimit) {
    while (Fill(idleLimit)) {
        buffer_.clear();
    }
}

void Connection::CloseWrite() {
    if (Open()) {
        if (tls_) {
            SSL_shutdown(tls_.get());
        }
        ::shutdown(socket_.Fd(), SHUT_WR);
        writeClosed_ = true;
    }
}

void Connection::Reset() {
    ResetConnection(socket_);
}

Responder ReplyWith(std::string raw) {
    return [raw = std::move(raw)](Connection& connection, const std::string&) {
        connection.Send(raw);
        connection.CloseWrite();
    };
}

std::string OkResponse(std::string_view body, std::string_view extraHeaders) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
           std::string(extraHeaders) + "\r\n" + std::string(body);
}

Responder TunnelTo(int port) {
    return [port](Connection& client, const std::string&) {
        const Socket origin = ConnectToLoopback(port);
        if (origin.Valid() && client.Send("HTTP/1.1 200 Connection established\r\n\r\n")) {
            Pump(client.Fd(), origin.Fd(), client.Stop());
        }
        client.CloseWrite();
    };
}

RawServer::RawServer(Responder responder, const TlsIdentity* tls, int port)
    : responder_(std::move(responder)), tls_(tls), listener_(ListenOnLoopback(port)) {
    // TLS writes go through write(2), which raises SIGPIPE when the client has gone.
    [[maybe_unused]] static const auto previous = std::signal(SIGPIPE, SIG_IGN);
    port_ = LocalPort(listener_);
    acceptor_ = std::thread(&RawServer::AcceptLoop, this);
}

RawServer::~RawServer() {
    stop_.Raise();
    acceptor_.join();
    workers_.clear();  // each future waits for its connection's thread
}

std::string RawServer::Url(std::string_view path) const {
    return std::string(tls_ != nullptr ? "https" : "http") +
           "://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<std::string> RawServer::Requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

void RawServer::AcceptLoop() {
    while (WaitReadable(listener_.Fd(), stop_, kNoLimit) == WaitResult::kReady) {
        Socket socket(::accept4(listener_.Fd(), nullptr, nullptr, SOCK_CLOEXEC));
        // Long runs (benchmarks) would otherwise keep one ended thread per connection.
        std::erase_if(workers_, [](const std::future<void>& worker) {
            return worker.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        });
        if (socket.Valid()) {
            workers_.push_back(
                std::async(std::launch::async, &RawServer::Serve, this, std::move(socket)));
        }
    }
}

void RawServer::Serve(Socket socket) {
    Connection connection(std::move(socket), stop_);
    if (tls_ != nullptr && !connection.AcceptTls(*tls_)) {
        return;
    }
    while (connection.Open()) {
        std::optional<std::string> request = connection.ReadRequest();
        if (!request) {
            break;
        }
        {
            const std::lock_guard lock(mutex_);
            requests_.push_back(*request);
        }
        responder_(connection, *request);
    }
    connection.CloseWrite();
    // Closing while the peer still sends would reset the answer it has not read yet.
    connection.HoldUntilPeerCloses(std::chrono::milliseconds(2000));
}

}  // namespace tarnwick::test
