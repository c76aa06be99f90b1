// A loopback HTTP test server that records the raw bytes of every request and answers with
// whatever bytes a test scripts, and a small forward proxy. Each connection runs on its own
// thread; the destructors stop and join everything.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
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
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Runs the server side of the TLS handshake; false when it fails.
    bool AcceptTls(const TlsIdentity& identity);

    // Reads one request: the head up to the empty line and a Content-Length body.
    // nullopt at the end of the stream, on stop, or for a request that is too large.
    std::optional<std::string> ReadRequest();
    // Whatever arrives next, "" at the end of the stream, on stop or after the time-out.
    std::string ReadSome(std::chrono::milliseconds timeout);

    bool Send(std::string_view bytes);
    // Sends one byte at a time with a pause between; ends early when the peer sends or closes
    // or the server stops.
    void Drip(std::string_view bytes, std::chrono::milliseconds pause);
    // Answers nothing until the peer closes or the server stops.
    void HoldUntilPeerCloses();
    // The answer is complete: an orderly end of the stream.
    void CloseWrite();
    // Ends the connection with a reset.
    void Reset();

    // Bytes read past the last request, handed over once.
    std::string TakeBuffered();

    bool Open() const { return socket_.Valid() && !writeClosed_; }
    bool Stopping() const { return stop_.Raised(); }
    const StopSignal& Stop() const { return stop_; }
    int Fd() const { return socket_.Fd(); }

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
// "HTTP/1.1 200 OK" with a Content-Length, the extra header lines (each ending in CR LF)
// and the body.
std::string OkResponse(std::string_view body, std::string_view extraHeaders = {});

// The body, the head, or "" when request has no complete head.
std::string RequestHead(std::string_view request);
std::string RequestBody(std::string_view request);

class RawServer {
  public:
    explicit RawServer(Responder responder, const TlsIdentity* tls = nullptr);
    ~RawServer();
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    int Port() const { return port_; }
    // http://127.0.0.1:port + path (https for a TLS server).
    std::string Url(std::string_view path = "/") const;
    // The raw requests, in the order they were read.
    std::vector<std::string> Requests() const;
    std::size_t ConnectionCount() const;

  private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void AcceptLoop();
    void Serve(Socket socket, std::shared_ptr<std::atomic<bool>> done);
    void JoinFinished();

    Responder responder_;
    const TlsIdentity* tls_;
    StopSignal stop_;
    Socket listener_;
    int port_ = -1;
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::vector<Worker> workers_;
    std::size_t connectionCount_ = 0;
    std::thread acceptor_;
};

// An HTTP forward proxy that sends every request, whatever its host, to 127.0.0.1:originPort:
// absolute-form requests are rewritten to origin form without their Proxy- lines, and CONNECT
// opens a tunnel. It records each request head as it arrived.
class ForwardProxy {
  public:
    explicit ForwardProxy(int originPort);
    ~ForwardProxy();
    ForwardProxy(const ForwardProxy&) = delete;
    ForwardProxy& operator=(const ForwardProxy&) = delete;

    // "127.0.0.1:port", as a proxy setting.
    std::string Address() const;
    std::vector<std::string> Requests() const;

  private:
    RawServer server_;
};

}  // namespace tarnwick::test
