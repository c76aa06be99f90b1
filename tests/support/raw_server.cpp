#include "tests/support/raw_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <iterator>

#include "tests/support/tls_identity.h"

namespace tarnwick::test {

namespace {

constexpr std::size_t kMaxRequestHead = std::size_t{1} << 20;
constexpr std::size_t kMaxRequestBody = std::size_t{64} << 20;
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::chrono::milliseconds kNoLimit{-1};
constexpr std::chrono::milliseconds kLingerForPeer{2000};
constexpr std::string_view kHeadEnd = "\r\n\r\n";

void IgnoreSigpipe() {
    // TLS writes go through write(2), which raises SIGPIPE when the client has gone.
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGPIPE, SIG_IGN); });
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != Lower(prefix[i])) {
            return false;
        }
    }
    return true;
}

std::size_t ContentLength(std::string_view head) {
    std::size_t pos = 0;
    while ((pos = head.find("\r\n", pos)) != std::string_view::npos) {
        pos += 2;
        const std::string_view line = head.substr(pos, head.find("\r\n", pos) - pos);
        if (StartsWithIgnoreCase(line, "content-length:")) {
            std::size_t length = 0;
            for (const char c : line.substr(15)) {
                if (c >= '0' && c <= '9') {
                    length = length * 10 + static_cast<std::size_t>(c - '0');
                    if (length > kMaxRequestBody) {
                        return length;
                    }
                }
            }
            return length;
        }
    }
    return 0;
}

// Copies bytes both ways until either side ends or the server stops.
void Pump(int a, int b, const StopSignal& stop) {
    std::array<char, kReadChunk> chunk{};
    while (true) {
        pollfd fds[3] = {{stop.Fd(), POLLIN, 0}, {a, POLLIN, 0}, {b, POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[0].revents != 0) {
            return;
        }
        for (int i = 1; i <= 2; ++i) {
            if (fds[i].revents == 0) {
                continue;
            }
            const int from = fds[i].fd;
            const int to = from == a ? b : a;
            const ssize_t got = ::recv(from, chunk.data(), chunk.size(), 0);
            if (got <= 0 ||
                !SendAll(to, std::string_view(chunk.data(), static_cast<std::size_t>(got)))) {
                return;
            }
        }
    }
}

// "GET http://host:port/path HTTP/1.1" becomes "GET /path HTTP/1.1"; Proxy- lines are the
// proxy's own and go no further.
std::string ToOriginForm(const std::string& request) {
    const std::size_t lineEnd = request.find("\r\n");
    const std::size_t targetStart = request.find(' ');
    const std::size_t targetEnd = request.find(' ', targetStart + 1);
    if (lineEnd == std::string::npos || targetStart == std::string::npos ||
        targetEnd == std::string::npos || targetEnd > lineEnd) {
        return request;
    }
    std::string target = request.substr(targetStart + 1, targetEnd - targetStart - 1);
    const std::size_t authority = target.find("://");
    if (authority != std::string::npos) {
        const std::size_t path = target.find('/', authority + 3);
        target = path == std::string::npos ? "/" : target.substr(path);
    }
    std::string rewritten = request.substr(0, targetStart + 1) + target +
                            request.substr(targetEnd, lineEnd + 2 - targetEnd);
    const std::size_t headEnd = request.find(kHeadEnd);
    std::size_t pos = lineEnd + 2;
    while (pos < headEnd + 2) {
        const std::size_t next = request.find("\r\n", pos) + 2;
        const std::string_view line(request.data() + pos, next - pos);
        if (!StartsWithIgnoreCase(line, "proxy-")) {
            rewritten.append(line);
        }
        pos = next;
    }
    rewritten.append(request.substr(headEnd + 2));
    return rewritten;
}

}  // namespace

// ---- Connection -----------------------------------------------------------------------------

Connection::Connection(Socket socket, const StopSignal& stop)
    : socket_(std::move(socket)), stop_(stop), tls_(nullptr, SSL_free) {}

Connection::~Connection() = default;

bool Connection::AcceptTls(const TlsIdentity& identity) {
    if (identity.Context() == nullptr) {
        return false;
    }
    tls_.reset(SSL_new(identity.Context()));
    if (!tls_ || SSL_set_fd(tls_.get(), socket_.Fd()) != 1) {
        return false;
    }
    // Bounded by the client: it either completes the handshake or closes.
    if (WaitReadable(socket_.Fd(), stop_, kNoLimit) != WaitResult::kReady) {
        return false;
    }
    return SSL_accept(tls_.get()) == 1;
}

bool Connection::Fill(std::chrono::milliseconds timeout) {
    if (!socket_.Valid()) {
        return false;
    }
    if (!(tls_ && SSL_pending(tls_.get()) > 0) &&
        WaitReadable(socket_.Fd(), stop_, timeout) != WaitResult::kReady) {
        return false;
    }
    std::array<char, kReadChunk> chunk{};
    ssize_t got = 0;
    if (tls_) {
        got = SSL_read(tls_.get(), chunk.data(), static_cast<int>(chunk.size()));
    } else {
        do {
            got = ::recv(socket_.Fd(), chunk.data(), chunk.size(), 0);
        } while (got < 0 && errno == EINTR);
    }
    if (got <= 0) {
        return false;
    }
    buffer_.append(chunk.data(), static_cast<std::size_t>(got));
    return true;
}

std::optional<std::string> Connection::ReadRequest() {
    std::size_t headEnd;
    while ((headEnd = buffer_.find(kHeadEnd)) == std::string::npos) {
        if (buffer_.size() > kMaxRequestHead || !Fill(kNoLimit)) {
            return std::nullopt;
        }
    }
    headEnd += kHeadEnd.size();
    const std::size_t length = ContentLength(std::string_view(buffer_).substr(0, headEnd));
    if (length > kMaxRequestBody) {
        return std::nullopt;
    }
    while (buffer_.size() < headEnd + length) {
        if (!Fill(kNoLimit)) {
            return std::nullopt;
        }
    }
    std::string request = buffer_.substr(0, headEnd + length);
    buffer_.erase(0, headEnd + length);
    return request;
}

std::string Connection::ReadSome(std::chrono::milliseconds timeout) {
    if (buffer_.empty() && !Fill(timeout)) {
        return {};
    }
    return TakeBuffered();
}

std::string Connection::TakeBuffered() {
    std::string taken;
    taken.swap(buffer_);
    return taken;
}

bool Connection::Send(std::string_view bytes) {
    if (!Open()) {
        return false;
    }
    if (!tls_) {
        return SendAll(socket_.Fd(), bytes);
    }
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), kReadChunk));
        const int sent = SSL_write(tls_.get(), bytes.data(), chunk);
        if (sent <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

void Connection::Drip(std::string_view bytes, std::chrono::milliseconds pause) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!Send(bytes.substr(i, 1)) ||
            WaitReadable(socket_.Fd(), stop_, pause) != WaitResult::kTimedOut) {
            return;
        }
    }
}

void Connection::HoldUntilPeerCloses() {
    while (Fill(kNoLimit)) {
        buffer_.clear();
    }
}

void Connection::CloseWrite() {
    if (!Open()) {
        return;
    }
    if (tls_) {
        SSL_shutdown(tls_.get());
    }
    ::shutdown(socket_.Fd(), SHUT_WR);
    writeClosed_ = true;
}

void Connection::Reset() {
    ResetConnection(socket_);
    writeClosed_ = true;
}

// ---- Helpers --------------------------------------------------------------------------------

Responder ReplyWith(std::string raw) {
    return [raw = std::move(raw)](Connection& connection, const std::string&) {
        connection.Send(raw);
        connection.CloseWrite();
    };
}

std::string OkResponse(std::string_view body, std::string_view extraHeaders) {
    std::string response =
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    response.append(extraHeaders);
    response.append("\r\n");
    response.append(body);
    return response;
}

std::string RequestHead(std::string_view request) {
    const std::size_t end = request.find(kHeadEnd);
    return end == std::string_view::npos ? std::string()
                                         : std::string(request.substr(0, end + kHeadEnd.size()));
}

std::string RequestBody(std::string_view request) {
    const std::size_t end = request.find(kHeadEnd);
    return end == std::string_view::npos ? std::string()
                                         : std::string(request.substr(end + kHeadEnd.size()));
}

// ---- RawServer ------------------------------------------------------------------------------

RawServer::RawServer(Responder responder, const TlsIdentity* tls)
    : responder_(std::move(responder)), tls_(tls), listener_(ListenOnLoopback()) {
    IgnoreSigpipe();
    port_ = listener_.Valid() ? LocalPort(listener_) : -1;
    acceptor_ = std::thread(&RawServer::AcceptLoop, this);
}

RawServer::~RawServer() {
    stop_.Raise();
    acceptor_.join();
    std::vector<Worker> workers;
    {
        const std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (Worker& worker : workers) {
        worker.thread.join();
    }
}

std::string RawServer::Url(std::string_view path) const {
    return std::string(tls_ != nullptr ? "https" : "http") +
           "://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<std::string> RawServer::Requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

std::size_t RawServer::ConnectionCount() const {
    const std::lock_guard lock(mutex_);
    return connectionCount_;
}

void RawServer::JoinFinished() {
    std::vector<Worker> finished;
    {
        const std::lock_guard lock(mutex_);
        auto running = std::partition(workers_.begin(), workers_.end(),
                                      [](const Worker& worker) { return !worker.done->load(); });
        std::move(running, workers_.end(), std::back_inserter(finished));
        workers_.erase(running, workers_.end());
    }
    for (Worker& worker : finished) {
        worker.thread.join();
    }
}

void RawServer::AcceptLoop() {
    while (listener_.Valid() &&
           WaitReadable(listener_.Fd(), stop_, kNoLimit) == WaitResult::kReady) {
        Socket socket(::accept4(listener_.Fd(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!socket.Valid()) {
            continue;
        }
        const int on = 1;
        ::setsockopt(socket.Fd(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        // Long runs (benchmarks) would otherwise keep one ended thread per connection.
        JoinFinished();
        auto done = std::make_shared<std::atomic<bool>>(false);
        const std::lock_guard lock(mutex_);
        ++connectionCount_;
        workers_.push_back({std::thread(&RawServer::Serve, this, std::move(socket), done), done});
    }
}

void RawServer::Serve(Socket socket, std::shared_ptr<std::atomic<bool>> done) {
    struct MarkDone {
        std::atomic<bool>& flag;
        ~MarkDone() { flag.store(true); }
    } markDone{*done};
    Connection connection(std::move(socket), stop_);
    if (tls_ != nullptr && !connection.AcceptTls(*tls_)) {
        return;
    }
    while (connection.Open()) {
        std::optional<std::string> request = connection.ReadRequest();
        if (!request) {
            break;
        }
        {
            const std::lock_guard lock(mutex_);
            requests_.push_back(*request);
        }
        responder_(connection, *request);
    }
    connection.CloseWrite();
    // Closing while the peer still sends would reset the answer it has not read yet.
    while (!connection.ReadSome(kLingerForPeer).empty()) {
    }
}

// ---- ForwardProxy ---------------------------------------------------------------------------

ForwardProxy::ForwardProxy(int originPort)
    : server_([originPort](Connection& client, const std::string& request) {
          Socket origin = ConnectToLoopback(originPort);
          if (!origin.Valid()) {
              client.Send("HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n");
              client.CloseWrite();
              return;
          }
          if (request.compare(0, 8, "CONNECT ") == 0) {
              client.Send("HTTP/1.1 200 Connection established\r\n\r\n");
          } else if (!SendAll(origin.Fd(), ToOriginForm(request))) {
              client.CloseWrite();
              return;
          }
          SendAll(origin.Fd(), client.TakeBuffered());
          Pump(client.Fd(), origin.Fd(), client.Stop());
          client.CloseWrite();
      }) {}

ForwardProxy::~ForwardProxy() = default;

std::string ForwardProxy::Address() const {
    return "127.0.0.1:" + std::to_string(server_.Port());
}

std::vector<std::string> ForwardProxy::Requests() const {
    return server_.Requests();
}

}  // namespace tarnwick::test
