// Loopback sockets for test servers: RAII descriptors, a stop signal that wakes every waiter,
// and waits bounded by time or by that signal (never by sleeping).
#pragma once

#include <chrono>
#include <string_view>
#include <utility>

namespace tarnwick::test {

// Owns one file descriptor.
class Socket {
  public:
    explicit Socket(int fd = -1) : fd_(fd) {}
    Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    // The descriptor this one held goes with other.
    Socket& operator=(Socket&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~Socket() { Close(); }

    int Fd() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Close();

  private:
    int fd_;
};

// A listening socket on 127.0.0.1:port (0: a port the system chose); invalid on failure.
Socket ListenOnLoopback(int port = 0);
int LocalPort(const Socket& socket);
// A connected socket to 127.0.0.1:port; invalid on failure.
Socket ConnectToLoopback(int port);
// Writes all bytes (no SIGPIPE); false when the peer is gone.
bool SendAll(int fd, std::string_view bytes);
// Closes so that the peer sees a reset instead of an orderly end.
void ResetConnection(Socket& socket);

// Raised once, seen by every wait from then on.
class StopSignal {
  public:
    StopSignal();
    void Raise();
    int Fd() const { return event_.Fd(); }

  private:
    Socket event_;
};

enum class WaitResult { kReady, kStopped, kTimedOut };

// Waits until fd can be read (data or end of stream), stop is raised, or timeout passes.
// A negative timeout waits without limit.
WaitResult WaitReadable(int fd, const StopSignal& stop, std::chrono::milliseconds timeout);

}  // namespace tarnwick::test
