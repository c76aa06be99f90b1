#include "tests/support/raw_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <cstdlib>

namespace tarnwick::test {

namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";
constexpr std::string_view kContentLength = "\r\nContent-Length: ";

// A TCP socket listening on 127.0.0.1:port; -1 on failure.
int Listen(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int on = 1;
    // A fixed port stays usable while the last run's connections linger in TIME_WAIT; accepted
    // sockets inherit the lack of delay, which keeps dripped bytes apart.
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(fd, 64) == 0) {
        return fd;
    }
    ::close(fd);
    return -1;
}

}  // namespace

Connection::Connection(int fd, ssl_ctx_st* tls)
    : fd_(fd), tls_(tls != nullptr ? SSL_new(tls) : nullptr, SSL_free) {
    open_ =
        tls == nullptr || (tls_ && SSL_set_fd(tls_.get(), fd_) == 1 && SSL_accept(tls_.get()) == 1);
}

Connection::~Connection() {
    ::close(fd_);
}

std::optional<std::string> Connection::ReadRequest(int idleMs) {
    for (std::array<char, std::size_t{64} * 1024> chunk{};;) {
        const std::size_t head = buffer_.find(kHeadEnd);
        const std::size_t field = std::string_view(buffer_).substr(0, head).find(kContentLength);
        const std::size_t size =
            head + kHeadEnd.size() +
            (field == std::string::npos
                 ? 0
                 : std::strtoul(buffer_.c_str() + field + kContentLength.size(), nullptr, 10));
        if (head != std::string::npos && buffer_.size() >= size) {
            std::string request = buffer_.substr(0, size);
            buffer_.erase(0, size);
            return request;
        }
        pollfd wait{fd_, POLLIN, 0};
        if (!(tls_ && SSL_pending(tls_.get()) > 0) && ::poll(&wait, 1, idleMs) <= 0) {
            return std::nullopt;
        }
        const ssize_t got = tls_
                                ? SSL_read(tls_.get(), chunk.data(), static_cast<int>(chunk.size()))
                                : ::recv(fd_, chunk.data(), chunk.size(), 0);
        if (got <= 0) {
            return std::nullopt;
        }
        buffer_.append(chunk.data(), static_cast<std::size_t>(got));
    }
}

bool Connection::Send(std::string_view bytes) {
    ssize_t sent = 0;
    // Without partial writes, SSL_write sends all or fails.
    for (; open_ && !tls_ && !bytes.empty(); bytes.remove_prefix(static_cast<std::size_t>(sent))) {
        if ((sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL)) <= 0) {
            return false;
        }
    }
    return open_ && (!tls_ || bytes.empty() ||
                     SSL_write(tls_.get(), bytes.data(), static_cast<int>(bytes.size())) > 0);
}

void Connection::HoldUntilPeerCloses(int idleMs) {
    while (ReadRequest(idleMs)) {
        buffer_.clear();
    }
}

void Connection::CloseWrite() {
    if (open_ && tls_) {
        SSL_shutdown(tls_.get());
    }
    ::shutdown(fd_, SHUT_WR);
    open_ = false;
}

Responder ReplyWith(std::string raw) {
    return [raw = std::move(raw)](Connection& connection, const std::string&) {
        connection.Send(raw);
        connection.CloseWrite();
    };
}

std::string OkResponse(std::string_view body, std::string_view extraHeaders) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" +
           std::string(extraHeaders) + "\r\n" + std::string(body);
}

std::shared_ptr<SSL_CTX> SelfSignedTls() {
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_EC_gen("P-256"),
                                                                  EVP_PKEY_free);
    const std::unique_ptr<X509, decltype(&X509_free)> certificate(X509_new(), X509_free);
    std::shared_ptr<SSL_CTX> context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    X509* cert = certificate.get();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -60);
    X509_gmtime_adj(X509_getm_notAfter(cert), 24L * 60 * 60);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(cert), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("tarnwick test"), -1, -1, 0);
    X509_set_issuer_name(cert, X509_get_subject_name(cert));
    X509_set_pubkey(cert, key.get());
    const std::unique_ptr<X509_EXTENSION, decltype(&X509_EXTENSION_free)> altName(
        X509V3_EXT_conf_nid(nullptr, nullptr, NID_subject_alt_name, "IP:127.0.0.1"),
        X509_EXTENSION_free);
    const bool made = altName && X509_add_ext(cert, altName.get(), -1) == 1 &&
                      X509_sign(cert, key.get(), EVP_sha256()) != 0 &&
                      SSL_CTX_use_certificate(context.get(), cert) == 1 &&
                      SSL_CTX_use_PrivateKey(context.get(), key.get()) == 1;
    return made ? context : nullptr;
}

RawServer::RawServer(Responder responder, std::shared_ptr<ssl_ctx_st> tls, int port)
    : responder_(std::move(responder)), tls_(std::move(tls)), listener_(Listen(port)) {
    // TLS writes go through write(2), which raises SIGPIPE when the client has gone.
    [[maybe_unused]] static const auto previous = std::signal(SIGPIPE, SIG_IGN);
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
        port_ = ntohs(address.sin_port);
    }
    acceptor_ = std::thread([this] {
        for (int fd = 0; (fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
            // Long runs (benchmarks) would otherwise keep one ended thread per connection.
            std::erase_if(workers_, [](const std::future<void>& worker) {
                return worker.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
            });
            const std::lock_guard lock(mutex_);
            open_.insert(fd);
            workers_.push_back(std::async(std::launch::async, &RawServer::Serve, this, fd));
        }
    });
}

RawServer::~RawServer() {
    ::shutdown(listener_, SHUT_RDWR);  // ends the blocked accept
    acceptor_.join();
    {
        const std::lock_guard lock(mutex_);
        for (const int fd : open_) {
            ::shutdown(fd, SHUT_RDWR);
        }
    }
    workers_.clear();  // each future waits for its connection's thread
    ::close(listener_);
}

std::string RawServer::Url(std::string_view path) const {
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
           std::string(path);
}

std::vector<std::string> RawServer::Requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

void RawServer::Serve(int fd) {
    Connection connection(fd, tls_.get());
    for (std::optional<std::string> request;
         connection.Open() && (request = connection.ReadRequest());) {
        {
            const std::lock_guard lock(mutex_);
            requests_.push_back(*request);
        }
        responder_(connection, *request);
    }
    connection.CloseWrite();
    // Closing while the peer still sends would reset the answer it has not read yet.
    connection.HoldUntilPeerCloses(2000);
    const std::lock_guard lock(mutex_);
    open_.erase(fd);
}

}  // namespace tarnwick::test
