#include "tests/support/raw_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>

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
        pollfd wait{fd_, POLLIN, 0};
        if (::poll(&wait, 1, idleMs) <= 0) {
            return std::nullopt;
        }
        const ssize_t got = ::recv(fd_, chunk.data(), chunk.size(), 0);
        if (got <= 0) {
            return std::nullopt;
        }
        buffer_.append(chunk.data(), static_cast<std::size_t>(got));
    }
}

bool Connection::Send(std::string_view bytes) {
    for (ssize_t sent = 0; open_ && !bytes.empty() &&
                           (sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL)) > 0;) {
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return open_ && bytes.empty();
}

void Connection::CloseWrite() {
    ::shutdown(fd_, SHUT_WR);
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
    : responder_(std::move(responder)),
      listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    socklen_t size = sizeof address;
    const int on = 1;
    // Accepted sockets inherit the lack of delay, which keeps dripped bytes apart.
    ::setsockopt(listener_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (::bind(listener_, raw, size) == 0 && ::listen(listener_, 64) == 0 &&
        ::getsockname(listener_, raw, &size) == 0) {
        port_ = ntohs(address.sin_port);
    }
    acceptor_ = std::thread([this] {
        for (int fd = 0; (fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
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
    ::shutdown(listener_, SHUT_RDWR);  // ends the blocked accept
    acceptor_.join();
    {
        const std::lock_guard lock(mutex_);
        for (const int fd : open_) {
            ::shutdown(fd, SHUT_RDWR);
        }
    }
    workers_.clear();  // each future waits for its connection's thread
    ::close(listener_);
}

std::string RawServer::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<std::string> RawServer::Requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

void RawServer::Serve(int fd) {
    Connection connection(fd);
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
