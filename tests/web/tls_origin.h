// An HTTPS origin on 127.0.0.1 with a self-signed certificate for "tls.test", reached through
// the CONNECT of a loopback proxy that is the same server: what the proxy is told and what the
// origin is told are recorded apart.
#pragma once

#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/raw_server.h"

namespace tarnwick::test {

// An OpenSSL object freed by its own function.
template <typename T>
using OpenSslPtr = std::unique_ptr<T, void (*)(T*)>;

class TlsOrigin {
  public:
    // An expired certificate's validity ended yesterday; the other fault is one that no flag
    // names.
    enum Fault { kNone, kExpired, kUnknownCriticalExtension };
    explicit TlsOrigin(Fault fault = kNone)
        : context_(SelfSignedContext(fault)),
          server_([this](Connection& connection, const std::string&) { Tunnel(connection); }) {}

    // "127.0.0.1:port", the proxy to name.
    std::string Proxy() const { return server_.Url("").substr(7); }
    std::vector<std::string> ProxyRequests() const { return server_.Requests(); }
    std::vector<std::string> OriginRequests() const {
        const std::lock_guard lock(mutex_);
        return originRequests_;
    }

  private:
    using Context = OpenSslPtr<SSL_CTX>;

    // A client that offers HTTP/2 gets it, and with it an answer in a protocol this origin does
    // not speak: the object must offer HTTP/1.1 only, as the system's object does.
    static int PreferHttp2(SSL*, const unsigned char** out, unsigned char* outLength,
                           const unsigned char* in, unsigned int inLength, void*) {
        static const unsigned char kHttp2[] = {2, 'h', '2'};
        unsigned char* chosen = nullptr;
        if (SSL_select_next_proto(&chosen, outLength, kHttp2, sizeof kHttp2, in, inLength) !=
            OPENSSL_NPN_NEGOTIATED) {
            return SSL_TLSEXT_ERR_NOACK;
        }
        *out = chosen;
        return SSL_TLSEXT_ERR_OK;
    }

    static Context SelfSignedContext(Fault fault) {
        const bool expired = fault == kExpired;
        constexpr long kDay = 24L * 60 * 60;
        const OpenSslPtr<EVP_PKEY> key(EVP_EC_gen("P-256"), EVP_PKEY_free);
        const OpenSslPtr<X509> certificate(X509_new(), X509_free);
        X509* cert = certificate.get();
        X509_set_version(cert, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), (expired ? -2 : -1) * kDay);
        X509_gmtime_adj(X509_getm_notAfter(cert), (expired ? -1 : 1) * kDay);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("tls.test"), -1, -1, 0);
        X509_set_issuer_name(cert, name);
        if (fault == kUnknownCriticalExtension) {
            const OpenSslPtr<X509_EXTENSION> extension(
                X509V3_EXT_nconf(nullptr, nullptr, "1.3.6.1.4.1.99999.1", "critical,DER:05:00"),
                X509_EXTENSION_free);
            X509_add_ext(cert, extension.get(), -1);
        }
        X509_set_pubkey(cert, key.get());
        X509_sign(cert, key.get(), EVP_sha256());
        Context context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
        SSL_CTX_use_certificate(context.get(), cert);
        SSL_CTX_use_PrivateKey(context.get(), key.get());
        SSL_CTX_set_alpn_select_cb(context.get(), PreferHttp2, nullptr);
        return context;
    }

    // The proxy's answer carries a line of its own, which is no part of the origin's answer.
    void Tunnel(Connection& connection) {
        const OpenSslPtr<SSL> ssl(SSL_new(context_.get()), SSL_free);
        if (connection.Send("HTTP/1.1 200 Connection established\r\nX-Proxy: 1\r\n\r\n") &&
            SSL_set_fd(ssl.get(), static_cast<int>(connection.Socket())) == 1 &&
            SSL_accept(ssl.get()) == 1) {
            // Requests without a body, one after another on the connection until it ends.
            const std::string answer = OkResponse("over tls", "X-Origin: 1\r\n");
            std::string request;
            std::array<char, 4096> chunk{};
            for (int got = 0; (got = SSL_read(ssl.get(), chunk.data(), chunk.size())) > 0;) {
                request.append(chunk.data(), static_cast<std::size_t>(got));
                if (request.ends_with("\r\n\r\n")) {
                    const std::lock_guard lock(mutex_);
                    originRequests_.push_back(std::exchange(request, {}));
                    SSL_write(ssl.get(), answer.data(), static_cast<int>(answer.size()));
                }
            }
        }
        connection.CloseWrite();
    }

    Context context_;
    mutable std::mutex mutex_;
    std::vector<std::string> originRequests_;
    RawServer server_;  // last: its threads use the members above
};

}  // namespace tarnwick::test
