#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>

#include "tests/support/sockets.h"

namespace tarnwick::test::net {

namespace {

SOCKET Native(Socket socket) {
    return static_cast<SOCKET>(socket);
}

int Count(std::size_t size) {
    return size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size);
}

void StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

}  // namespace

Socket ListenOnLoopback(int& port) {
    StartWinsock();
    port = -1;
    const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener == INVALID_SOCKET) {
        return kNoSocket;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    int size = sizeof address;
    const BOOL on = TRUE;
    ::setsockopt(listener, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    if (::bind(listener, raw, size) == 0 && ::listen(listener, 64) == 0 &&
        ::getsockname(listener, raw, &size) == 0) {
        port = ntohs(address.sin_port);
    }
    return static_cast<Socket>(listener);
}

Socket Accept(Socket listener) {
    const SOCKET accepted = ::accept(Native(listener), nullptr, nullptr);
    return accepted == INVALID_SOCKET ? kNoSocket : static_cast<Socket>(accepted);
}

// Winsock wakes a blocked accept only when the socket is closed.
void StopListening(Socket listener) {
    ::closesocket(Native(listener));
}

bool WaitReadable(Socket socket, int idleMs) {
    WSAPOLLFD wait{Native(socket), POLLRDNORM, 0};
    return ::WSAPoll(&wait, 1, idleMs) > 0;
}

long Receive(Socket socket, char* data, std::size_t size) {
    return ::recv(Native(socket), data, Count(size), 0);
}

long Send(Socket socket, const char* data, std::size_t size) {
    return ::send(Native(socket), data, Count(size), 0);
}

void ShutdownWrite(Socket socket) {
    ::shutdown(Native(socket), SD_SEND);
}

void ShutdownBoth(Socket socket) {
    ::shutdown(Native(socket), SD_BOTH);
}

void Close(Socket socket) {
    ::closesocket(Native(socket));
}

// StopListening has closed it already.
void ReleaseListener(Socket /*listener*/) {}

}  // namespace tarnwick::test::net
