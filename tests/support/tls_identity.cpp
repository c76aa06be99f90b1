#include "tests/support/tls_identity.h"

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace tarnwick::test {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct ExtensionFree {
    void operator()(X509_EXTENSION* extension) const { X509_EXTENSION_free(extension); }
};

bool IsIpAddress(const std::string& host) {
    in_addr address{};
    return ::inet_pton(AF_INET, host.c_str(), &address) == 1;
}

bool AddExtension(X509* certificate, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    const std::unique_ptr<X509_EXTENSION, ExtensionFree> extension(
        X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str()));
    return extension && X509_add_ext(certificate, extension.get(), -1) == 1;
}

std::unique_ptr<X509, CertificateFree> MakeCertificate(const CertificateSpec& spec, EVP_PKEY* key) {
    std::unique_ptr<X509, CertificateFree> certificate(X509_new());
    if (!certificate) {
        return nullptr;
    }
    X509* cert = certificate.get();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    constexpr long kDay = 24L * 60 * 60;
    X509_gmtime_adj(X509_getm_notBefore(cert), spec.validFromDays * kDay);
    X509_gmtime_adj(X509_getm_notAfter(cert), spec.validUntilDays * kDay);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(spec.hostName.c_str()), -1,
                               -1, 0);
    X509_set_issuer_name(cert, name);
    X509_set_pubkey(cert, key);
    const std::string altName = (IsIpAddress(spec.hostName) ? "IP:" : "DNS:") + spec.hostName;
    const bool extended =
        AddExtension(cert, NID_subject_alt_name, altName) &&
        AddExtension(cert, NID_ext_key_usage, spec.serverUsage ? "serverAuth" : "clientAuth");
    if (!extended || X509_sign(cert, key, EVP_sha256()) == 0) {
        return nullptr;
    }
    return certificate;
}

}  // namespace

TlsIdentity TlsIdentity::SelfSigned(const CertificateSpec& spec) {
    TlsIdentity identity;
    const std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_EC_gen("P-256"));
    if (!key) {
        return identity;
    }
    const auto certificate = MakeCertificate(spec, key.get());
    std::shared_ptr<SSL_CTX> context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
    if (!certificate || !context ||
        SSL_CTX_use_certificate(context.get(), certificate.get()) != 1 ||
        SSL_CTX_use_PrivateKey(context.get(), key.get()) != 1) {
        return identity;
    }
    identity.context_ = std::move(context);
    return identity;
}

}  // namespace tarnwick::test
