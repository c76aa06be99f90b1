// Loopback sockets for test servers: RAII descriptors, a stop signal that wakes every waiter,
// and waits bounded by time or by that signal (never by sleeping).
#pragma once

#include <chrono>
#include <string_view>

namespace tarnwick::test {

// Owns one file descriptor.
class Socket {
  public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() { Close(); }
    Socket(Socket&& other) noexcept : fd_(other.Release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    int Fd() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release();
    void Close();

  private:
    int fd_ = -1;
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
    bool Raised() const;
    int Fd() const { return event_.Fd(); }

  private:
    Socket event_;
};

enum class WaitResult { kReady, kStopped, kTimedOut };

// Waits until fd can be read (data or end of stream), stop is raised, or timeout passes.
// A negative timeout waits without limit.
WaitResult WaitReadable(int fd, const StopSignal& stop, std::chrono::milliseconds timeout);

}  // namespace tarnwick::test
