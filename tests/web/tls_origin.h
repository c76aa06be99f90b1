// An HTTPS origin on 127.0.0.1 with a self-signed certificate for "tls.test", reached through
// the CONNECT of a loopback proxy that is the same server: what the proxy is told and what the
// origin is told are recorded apart.
#pragma once

#include <openssl/ssl.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/raw_server.h"

namespace tarnwick::test {

struct SslContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};

class TlsOrigin {
  public:
    // expired: the certificate's validity ended yesterday.
    explicit TlsOrigin(bool expired = false);

    // "127.0.0.1:port", the proxy to name.
    std::string Proxy() const;
    std::vector<std::string> ProxyRequests() const { return server_.Requests(); }
    std::vector<std::string> OriginRequests() const;

  private:
    void Tunnel(Connection& connection);

    std::unique_ptr<SSL_CTX, SslContextFree> context_;
    mutable std::mutex mutex_;
    std::vector<std::string> originRequests_;
    RawServer server_;  // last: its threads use the members above
};

}  // namespace tarnwick::test
