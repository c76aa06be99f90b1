#include "tests/support/socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace tarnwick::test {

void Socket::Close() {
    if (fd_ >= 0) {
        ::close(std::exchange(fd_, -1));
    }
}

namespace {

// A new TCP socket bound (listen) or connected to 127.0.0.1:port; invalid on failure.
Socket LoopbackSocket(int port, bool listen) {
    Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto* raw = reinterpret_cast<const sockaddr*>(&address);
    const int on = 1;
    // A fixed port stays usable while the last run's connections linger in TIME_WAIT.
    ::setsockopt(socket.Fd(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ::setsockopt(socket.Fd(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (listen ? ::bind(socket.Fd(), raw, sizeof address) != 0 || ::listen(socket.Fd(), 64) != 0
               : ::connect(socket.Fd(), raw, sizeof address) != 0) {
        socket.Close();
    }
    return socket;
}

}  // namespace

Socket ListenOnLoopback(int port) {
    return LoopbackSocket(port, true);
}

Socket ConnectToLoopback(int port) {
    return LoopbackSocket(port, false);
}

int LocalPort(const Socket& socket) {
    sockaddr_in address{};
    socklen_t size = sizeof address;
    const bool known =
        ::getsockname(socket.Fd(), reinterpret_cast<sockaddr*>(&address), &size) == 0;
    return known ? ntohs(address.sin_port) : -1;
}

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0 && errno != EINTR) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent > 0 ? sent : 0));
    }
    return true;
}

void ResetConnection(Socket& socket) {
    const linger abort{1, 0};
    ::setsockopt(socket.Fd(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    socket.Close();
}

StopSignal::StopSignal() : event_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void StopSignal::Raise() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(event_.Fd(), &one, sizeof one);
}

WaitResult WaitReadable(int fd, const StopSignal& stop, std::chrono::milliseconds timeout) {
    pollfd fds[2] = {{stop.Fd(), POLLIN, 0}, {fd, POLLIN, 0}};
    int ready = 0;
    do {
        ready = ::poll(fds, 2, static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    if (ready < 0 || fds[0].revents != 0) {
        return WaitResult::kStopped;
    }
    return ready == 0 ? WaitResult::kTimedOut : WaitResult::kReady;
}

}  // namespace tarnwick::test
