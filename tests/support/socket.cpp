#include "tests/support/socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace tarnwick::test {

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.Release();
    }
    return *this;
}

int Socket::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void Socket::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

namespace {

sockaddr_in LoopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

}  // namespace

Socket ListenOnLoopback() {
    Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.Valid()) {
        return socket;
    }
    const int on = 1;
    ::setsockopt(socket.Fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = LoopbackAddress(0);
    if (::bind(socket.Fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket.Fd(), 64) != 0) {
        socket.Close();
    }
    return socket;
}

int LocalPort(const Socket& socket) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (::getsockname(socket.Fd(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return -1;
    }
    return ntohs(address.sin_port);
}

Socket ConnectToLoopback(int port) {
    Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.Valid()) {
        return socket;
    }
    sockaddr_in address = LoopbackAddress(port);
    if (::connect(socket.Fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        socket.Close();
        return socket;
    }
    const int on = 1;
    ::setsockopt(socket.Fd(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return socket;
}

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void ResetConnection(Socket& socket) {
    if (!socket.Valid()) {
        return;
    }
    const linger abort{1, 0};
    ::setsockopt(socket.Fd(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    socket.Close();
}

StopSignal::StopSignal() : event_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void StopSignal::Raise() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(event_.Fd(), &one, sizeof one);
}

bool StopSignal::Raised() const {
    pollfd probe{event_.Fd(), POLLIN, 0};
    return ::poll(&probe, 1, 0) > 0;
}

WaitResult WaitReadable(int fd, const StopSignal& stop, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
        int waitMs = -1;
        if (timeout.count() >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            waitMs = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
        }
        pollfd fds[2] = {{stop.Fd(), POLLIN, 0}, {fd, POLLIN, 0}};
        const int ready = ::poll(fds, 2, waitMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0 || (fds[0].revents & POLLIN) != 0) {
            return WaitResult::kStopped;
        }
        if (fds[1].revents != 0) {
            return WaitResult::kReady;
        }
        if (ready == 0) {
            return WaitResult::kTimedOut;
        }
    }
}

}  // namespace tarnwick::test
