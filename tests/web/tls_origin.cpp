#include "tests/web/tls_origin.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

namespace tarnwick::test {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};

// A client that offers HTTP/2 gets it, and with it an answer in a protocol the origin does not
// speak: the object must speak HTTP/1.1 only, as the system's object does.
int PreferHttp2(SSL*, const unsigned char** out, unsigned char* outLength, const unsigned char* in,
                unsigned int inLength, void*) {
    static const unsigned char kHttp2[] = {2, 'h', '2'};
    unsigned char* chosen = nullptr;
    if (SSL_select_next_proto(&chosen, outLength, kHttp2, sizeof kHttp2, in, inLength) !=
        OPENSSL_NPN_NEGOTIATED) {
        return SSL_TLSEXT_ERR_NOACK;
    }
    *out = chosen;
    return SSL_TLSEXT_ERR_OK;
}

constexpr long kDaySeconds = 24L * 60 * 60;

std::unique_ptr<SSL_CTX, SslContextFree> SelfSignedContext(bool expired) {
    const std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_EC_gen("P-256"));
    const std::unique_ptr<X509, CertificateFree> certificate(X509_new());
    X509* cert = certificate.get();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), (expired ? -2 : -1) * kDaySeconds);
    X509_gmtime_adj(X509_getm_notAfter(cert), (expired ? -1 : 1) * kDaySeconds);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("tls.test"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509_set_pubkey(cert, key.get());
    X509_sign(cert, key.get(), EVP_sha256());
    std::unique_ptr<SSL_CTX, SslContextFree> context(SSL_CTX_new(TLS_server_method()));
    SSL_CTX_use_certificate(context.get(), cert);
    SSL_CTX_use_PrivateKey(context.get(), key.get());
    SSL_CTX_set_alpn_select_cb(context.get(), PreferHttp2, nullptr);
    return context;
}

}  // namespace

TlsOrigin::TlsOrigin(bool expired)
    : context_(SelfSignedContext(expired)),
      server_([this](Connection& connection, const std::string&) { Tunnel(connection); }) {}

std::string TlsOrigin::Proxy() const {
    return server_.Url("").substr(std::string_view("http://").size());
}

std::vector<std::string> TlsOrigin::OriginRequests() const {
    const std::lock_guard lock(mutex_);
    return originRequests_;
}

// The proxy's answer carries a line of its own, which is no part of the origin's answer.
void TlsOrigin::Tunnel(Connection& connection) {
    const std::unique_ptr<SSL, SslFree> ssl(SSL_new(context_.get()));
    if (connection.Send("HTTP/1.1 200 Connection established\r\nX-Proxy: 1\r\n\r\n") &&
        SSL_set_fd(ssl.get(), static_cast<int>(connection.Socket())) == 1 &&
        SSL_accept(ssl.get()) == 1) {
        std::string request;
        char chunk[4096];
        for (int got = 0; request.find("\r\n\r\n") == std::string::npos &&
                          (got = SSL_read(ssl.get(), chunk, sizeof chunk)) > 0;) {
            request.append(chunk, static_cast<std::size_t>(got));
        }
        {
            const std::lock_guard lock(mutex_);
            originRequests_.push_back(request);
        }
        const std::string answer = OkResponse("over tls", "X-Origin: 1\r\n");
        SSL_write(ssl.get(), answer.data(), static_cast<int>(answer.size()));
        SSL_shutdown(ssl.get());
    }
    connection.CloseWrite();
}

}  // namespace tarnwick::test
