// A loopback HTTP test server that records the raw bytes of every request and answers with
// whatever bytes a test scripts. Each connection runs on its own thread; the destructor stops
// and joins everything.
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/socket.h"

struct ssl_st;

namespace tarnwick::test {

class TlsIdentity;

// One accepted connection, plain or TLS, as a responder sees it.
class Connection {
  public:
    Connection(Socket socket, const StopSignal& stop);

    // Runs the server side of the TLS handshake; false when it fails.
    bool AcceptTls(const TlsIdentity& identity);
    // One request: the head up to the empty line and a Content-Length body; nullopt at the end
    // of the stream or on stop.
    std::optional<std::string> ReadRequest();
    bool Send(std::string_view bytes);
    // One byte at a time with a pause between; ends early when the peer sends or closes or the
    // server stops.
    void Drip(std::string_view bytes, std::chrono::milliseconds pause);
    // Reads and drops whatever comes until the peer closes, the server stops or nothing came
    // for idleLimit (negative: no limit).
    void HoldUntilPeerCloses(std::chrono::milliseconds idleLimit = std::chrono::milliseconds(-1));
    // The answer is complete: an orderly end of the stream.
    void CloseWrite();
    // Ends the connection with a reset.
    void Reset();

    bool Open() const { return socket_.Valid() && !writeClosed_; }
    int Fd() const { return socket_.Fd(); }
    const StopSignal& Stop() const { return stop_; }

  private:
    bool Fill(std::chrono::milliseconds timeout);

    Socket socket_;
    const StopSignal& stop_;
    std::unique_ptr<ssl_st, void (*)(ssl_st*)> tls_;
    std::string buffer_;
    bool writeClosed_ = false;
};

// Called on the connection's thread for every request read; the same responder may run on
// several threads at once.
using Responder = std::function<void(Connection& connection, const std::string& request)>;

// Sends raw and ends the stream.
Responder ReplyWith(std::string raw);
// "HTTP/1.1 200 OK" with a Content-Length, the extra header lines (each ending in CR LF) and
// the body.
std::string OkResponse(std::string_view body, std::string_view extraHeaders = {});
// A proxy's answer to CONNECT: a tunnel to 127.0.0.1:port, whatever host was asked for.
Responder TunnelTo(int port);

class RawServer {
  public:
    // port 0: one the system chooses; Port() is -1 when the server could not listen.
    explicit RawServer(Responder responder, const TlsIdentity* tls = nullptr, int port = 0);
    ~RawServer();

    int Port() const { return port_; }
    // http://127.0.0.1:port + path (https for a TLS server).
    std::string Url(std::string_view path = "/") const;
    // The raw requests, in the order they were read.
    std::vector<std::string> Requests() const;

  private:
    void AcceptLoop();
    void Serve(Socket socket);

    Responder responder_;
    const TlsIdentity* tls_;
    StopSignal stop_;
    Socket listener_;
    int port_ = -1;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::vector<std::future<void>> workers_;  // touched by the accepting thread only
    std::thread acceptor_;
};

}  // namespace tarnwick::test
