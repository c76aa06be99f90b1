// A loopback HTTP test server that records the raw bytes of every request and answers with
// whatever bytes a test scripts. Each connection runs on its own thread; the destructor shuts
// every socket down, ends every wait and joins everything.
#pragma once

#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/sockets.h"

namespace tarnwick::test {

// One accepted connection, as a responder sees it.
class Connection {
  public:
    // Every wait ends once stopping is set.
    Connection(net::Socket fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}
    ~Connection() { net::Close(fd_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // One request: the head up to the empty line and a Content-Length body; nullopt at the end
    // of the stream or when nothing came for idleMs (negative: no limit).
    std::optional<std::string> ReadRequest(int idleMs = -1);
    bool Send(std::string_view bytes);
    // Reads and drops whatever comes until the peer closes or nothing came for idleMs.
    void HoldUntilPeerCloses(int idleMs = -1) {
        while (ReadRequest(idleMs)) {
        }
    }
    // The answer is complete: an orderly end of the stream.
    void CloseWrite();
    // Whether the peer closed the connection within ms; what it sent meanwhile is dropped.
    bool PeerClosedWithin(int ms);
    bool Open() const { return open_; }
    // For a responder that speaks another protocol on the connection from here on.
    net::Socket Socket() const { return fd_; }

  private:
    bool WaitReadable(int idleMs) const;

    net::Socket fd_;
    const std::atomic<bool>& stopping_;
    std::string buffer_;
    bool open_ = true;
};

// Called on the connection's thread for every request read; the same responder may run on
// several threads at once.
using Responder = std::function<void(Connection& connection, const std::string& request)>;

// Sends raw and ends the stream.
Responder ReplyWith(std::string raw);
// "HTTP/1.1 200 OK" with a Content-Length, the extra header lines (each ending in CR LF) and
// the body.
std::string OkResponse(std::string_view body, std::string_view extraHeaders = {});

class RawServer {
  public:
    // On a port the system chooses; Port() is -1 when the server could not listen.
    explicit RawServer(Responder responder);
    ~RawServer();

    int Port() const { return port_; }
    // http://127.0.0.1:port + path.
    std::string Url(std::string_view path = "/") const;
    // The raw requests, in the order they were read.
    std::vector<std::string> Requests() const;

  private:
    void Serve(net::Socket fd);

    Responder responder_;
    int port_ = -1;  // before listener_, which sets it
    net::Socket listener_;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::set<net::Socket> open_;              // the connections to shut down when the server stops
    std::vector<std::future<void>> workers_;  // touched by the accepting thread only
    std::atomic<bool> stopping_ = false;
    std::thread acceptor_;
};

}  // namespace tarnwick::test
