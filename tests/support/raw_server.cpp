#include "tests/support/raw_server.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>

#include "tests/support/sockets.h"

namespace tarnwick::test {

namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";
constexpr std::string_view kContentLength = "\r\nContent-Length: ";

}  // namespace

std::optional<std::string> Connection::ReadRequest(int idleMs) {
    for (std::array<char, std::size_t{64} * 1024> chunk{};;) {
        const std::size_t head = buffer_.find(kHeadEnd);
        const std::size_t field = std::string_view(buffer_).substr(0, head).find(kContentLength);
        const std::size_t size =
            head + kHeadEnd.size() +
            (field == std::string::npos
                 ? 0
                 : std::strtoul(buffer_.c_str() + field + kContentLength.size(), nullptr, 10));
        if (head != std::string::npos && buffer_.size() >= size) {
            std::string request = buffer_.substr(0, size);
            buffer_.erase(0, size);
            return request;
        }
        if (!WaitReadable(idleMs)) {
            return std::nullopt;
        }
        const long got = net::Receive(fd_, chunk.data(), chunk.size());
        if (got <= 0) {
            return std::nullopt;
        }
        buffer_.append(chunk.data(), static_cast<std::size_t>(got));
    }
}

// Not const, though it changes no member: sending changes the connection.
// NOLINTNEXTLINE(readability-make-member-function-const)
bool Connection::Send(std::string_view bytes) {
    for (long sent = 0;
         open_ && !bytes.empty() && (sent = net::Send(fd_, bytes.data(), bytes.size())) > 0;) {
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return open_ && bytes.empty();
}

// In slices: a socket shut down by the server does not wake every system's wait (Wine's).
bool Connection::WaitReadable(int idleMs) const {
    constexpr int kSliceMs = 50;
    for (int waited = 0; !stopping_; waited += kSliceMs) {
        const int slice = idleMs < 0 ? kSliceMs : std::min(kSliceMs, idleMs - waited);
        if (slice <= 0) {
            return false;
        }
        if (net::WaitReadable(fd_, slice)) {
            return true;
        }
    }
    return false;
}

bool Connection::PeerClosedWithin(int ms) {
    std::array<char, 4096> chunk{};
    return WaitReadable(ms) && net::Receive(fd_, chunk.data(), chunk.size()) <= 0;
}

void Connection::CloseWrite() {
    net::ShutdownWrite(fd_);
    open_ = false;
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

RawServer::RawServer(Responder responder)
    : responder_(std::move(responder)), listener_(net::ListenOnLoopback(port_)) {
    acceptor_ = std::thread([this] {
        for (net::Socket fd = 0; (fd = net::Accept(listener_)) != net::kNoSocket;) {
            // Ended connections' threads are joined now: a long benchmark would otherwise keep
            // the stacks of thousands of them until the server stops.
            std::erase_if(workers_, [](const std::future<void>& worker) {
                return worker.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
            });
            const std::lock_guard lock(mutex_);
            open_.insert(fd);
            workers_.push_back(std::async(std::launch::async, &RawServer::Serve, this, fd));
        }
    });
}

RawServer::~RawServer() {
    stopping_ = true;
    net::StopListening(listener_);  // ends the blocked accept
    acceptor_.join();
    {
        const std::lock_guard lock(mutex_);
        for (const net::Socket fd : open_) {
            net::ShutdownBoth(fd);
        }
    }
    workers_.clear();  // each future waits for its connection's thread
    net::ReleaseListener(listener_);
}

std::string RawServer::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<std::string> RawServer::Requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

void RawServer::Serve(net::Socket fd) {
    Connection connection(fd, stopping_);
    for (std::optional<std::string> request;
         connection.Open() && (request = connection.ReadRequest());) {
        {
            const std::lock_guard lock(mutex_);
            requests_.push_back(*request);
        }
        responder_(connection, *request);
    }
    connection.CloseWrite();
    // Closing while the peer still sends would reset the answer it has not read yet.
    connection.HoldUntilPeerCloses(2000);
    const std::lock_guard lock(mutex_);
    open_.erase(fd);
}

}  // namespace tarnwick::test
