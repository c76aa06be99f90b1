// Self-signed server certificates made on the fly, for TLS test servers on loopback.
#pragma once

#include <memory>
#include <string>

struct ssl_ctx_st;

namespace tarnwick::test {

struct CertificateSpec {
    // The subject alternative name: "IP:127.0.0.1" or "DNS:some.name".
    std::string altName = "IP:127.0.0.1";
    // Validity relative to now, in days.
    int validFromDays = -1;
    int validUntilDays = 30;
    // false: marked for client authentication only, a wrong usage for a server.
    bool serverUsage = true;
};

// A server TLS context that presents a new key and its self-signed certificate; null when
// OpenSSL could not make one.
std::shared_ptr<ssl_ctx_st> SelfSignedTls(const CertificateSpec& spec = {});

}  // namespace tarnwick::test
