#include "tests/support/tls_identity.h"

#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace tarnwick::test {

std::shared_ptr<SSL_CTX> SelfSignedTls(const CertificateSpec& spec) {
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(EVP_EC_gen("P-256"),
                                                                  EVP_PKEY_free);
    const std::unique_ptr<X509, decltype(&X509_free)> certificate(X509_new(), X509_free);
    std::shared_ptr<SSL_CTX> context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    X509* cert = certificate.get();
    if (!key || !cert || !context) {
        return nullptr;
    }
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    constexpr long kDay = 24L * 60 * 60;
    X509_gmtime_adj(X509_getm_notBefore(cert), spec.validFromDays * kDay);
    X509_gmtime_adj(X509_getm_notAfter(cert), spec.validUntilDays * kDay);
    X509_NAME_add_entry_by_txt(X509_get_subject_name(cert), "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("tarnwick test"), -1, -1, 0);
    X509_set_issuer_name(cert, X509_get_subject_name(cert));
    X509_set_pubkey(cert, key.get());
    X509V3_CTX extensionContext;
    X509V3_set_ctx_nodb(&extensionContext);
    X509V3_set_ctx(&extensionContext, cert, cert, nullptr, nullptr, 0);
    auto add = [&](int nid, const char* value) {
        const std::unique_ptr<X509_EXTENSION, decltype(&X509_EXTENSION_free)> extension(
            X509V3_EXT_conf_nid(nullptr, &extensionContext, nid, value), X509_EXTENSION_free);
        return extension && X509_add_ext(cert, extension.get(), -1) == 1;
    };
    const bool made = add(NID_subject_alt_name, spec.altName.c_str()) &&
                      add(NID_ext_key_usage, spec.serverUsage ? "serverAuth" : "clientAuth") &&
                      X509_sign(cert, key.get(), EVP_sha256()) != 0 &&
                      SSL_CTX_use_certificate(context.get(), cert) == 1 &&
                      SSL_CTX_use_PrivateKey(context.get(), key.get()) == 1;
    return made ? context : nullptr;
}

}  // namespace tarnwick::test
