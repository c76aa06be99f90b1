#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/sockets.h"

namespace tarnwick::test::net {

Socket ListenOnLoopback(int& port) {
    port = -1;
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    socklen_t size = sizeof address;
    const int on = 1;
    // Accepted sockets inherit the lack of delay, which keeps dripped bytes apart.
    ::setsockopt(listener, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (::bind(listener, raw, size) == 0 && ::listen(listener, 64) == 0 &&
        ::getsockname(listener, raw, &size) == 0) {
        port = ntohs(address.sin_port);
    }
    return listener;
}

Socket Accept(Socket listener) {
    return ::accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
}

void StopListening(Socket listener) {
    ::shutdown(static_cast<int>(listener), SHUT_RDWR);
}

bool WaitReadable(Socket socket, int idleMs) {
    pollfd wait{static_cast<int>(socket), POLLIN, 0};
    return ::poll(&wait, 1, idleMs) > 0;
}

long Receive(Socket socket, char* data, std::size_t size) {
    return ::recv(static_cast<int>(socket), data, size, 0);
}

long Send(Socket socket, const char* data, std::size_t size) {
    return ::send(static_cast<int>(socket), data, size, MSG_NOSIGNAL);
}

void ShutdownWrite(Socket socket) {
    ::shutdown(static_cast<int>(socket), SHUT_WR);
}

void ShutdownBoth(Socket socket) {
    ::shutdown(static_cast<int>(socket), SHUT_RDWR);
}

void Close(Socket socket) {
    ::close(static_cast<int>(socket));
}

void ReleaseListener(Socket listener) {
    ::close(static_cast<int>(listener));
}

}  // namespace tarnwick::test::net
