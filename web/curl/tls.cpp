#include "web/curl/tls.h"

#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>

#include <cstdint>

namespace tarnwick::curl {

namespace {

constexpr int kChainIgnoreFlags = kIgnoreUnknownCa | kIgnoreWrongUsage | kIgnoreInvalidDate;

// Where the certificate flags of a connection travel with its SSL_CTX to the verify callback.
int sslFlagsIndex = -1;

bool IsIgnored(int flags, int error) {
    switch (error) {
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_CERT_UNTRUSTED:
            return (flags & kIgnoreUnknownCa) != 0;
        case X509_V_ERR_INVALID_PURPOSE:
        case X509_V_ERR_KEYUSAGE_NO_CERTSIGN:
        case X509_V_ERR_KEYUSAGE_NO_DIGITAL_SIGNATURE:
            return (flags & kIgnoreWrongUsage) != 0;
        case X509_V_ERR_CERT_NOT_YET_VALID:
        case X509_V_ERR_CERT_HAS_EXPIRED:
        case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
        case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
            return (flags & kIgnoreInvalidDate) != 0;
        case X509_V_ERR_HOSTNAME_MISMATCH:
            return (flags & kIgnoreWrongHostName) != 0;
        default:
            return false;
    }
}

extern "C" int VerifyCertificate(int preverifyOk, X509_STORE_CTX* store) {
    if (preverifyOk == 1) {
        return 1;
    }
    const auto* ssl = static_cast<const SSL*>(
        X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    if (ssl == nullptr) {
        return 0;
    }
    const auto flags = static_cast<int>(
        reinterpret_cast<std::intptr_t>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), sslFlagsIndex)));
    if (!IsIgnored(flags, X509_STORE_CTX_get_error(store))) {
        return 0;
    }
    // Cleared, so that the verify result the handshake leaves behind reads as passed.
    X509_STORE_CTX_set_error(store, X509_V_OK);
    return 1;
}

}  // namespace

void PrepareTls() {
    sslFlagsIndex = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
}

// libcurl only switches peer and host checks as a whole; the finer flags are the verify
// callback's work.
extern "C" CURLcode PrepareSslContext(CURL*, void* sslContext, void* userData) {
    const int flags = *static_cast<const int*>(userData);
    if ((flags & kChainIgnoreFlags) != 0) {
        auto* context = static_cast<SSL_CTX*>(sslContext);
        // OpenSSL's per-context slot holds a pointer; the flags travel in it as a number.
        SSL_CTX_set_ex_data(context, sslFlagsIndex,
                            // NOLINTNEXTLINE(performance-no-int-to-ptr)
                            reinterpret_cast<void*>(static_cast<std::intptr_t>(flags)));
        SSL_CTX_set_verify(context, SSL_CTX_get_verify_mode(context), VerifyCertificate);
    }
    return CURLE_OK;
}

}  // namespace tarnwick::curl
