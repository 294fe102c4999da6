// SPDX-License-Identifier: GPL-3.0-or-later
#include "certificate.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509v3.h>
#include <stdexcept>

namespace mock {
namespace {

[[noreturn]] void fail(const std::string& what) {
    char reason[256] = "unknown reason";
    if (unsigned long code = ERR_get_error(); code != 0) {
        ERR_error_string_n(code, reason, sizeof reason);
    }
    throw std::runtime_error(what + ": " + reason);
}

bool isIpAddress(const std::string& host) {
    unsigned char buffer[16];
    return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

void addExtension(X509* cert, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    if (extension == nullptr) {
        fail("cannot make certificate extension " + value);
    }
    const int added = X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
    if (added != 1) {
        fail("cannot add certificate extension");
    }
}

} // namespace

SelfSignedCertificate makeSelfSignedCertificate(const std::vector<std::string>& hosts) {
    if (hosts.empty()) {
        throw std::runtime_error("no host name for the certificate");
    }
    SelfSignedCertificate result;
    // P-256 keys are made in a millisecond, unlike RSA keys; every TLS client here accepts them.
    result.key.reset(EVP_EC_gen("P-256"));
    if (!result.key) {
        fail("cannot make a key");
    }
    result.certificate.reset(X509_new());
    X509* cert = result.certificate.get();
    if (cert == nullptr || X509_set_version(cert, 2) != 1) {
        fail("cannot make a certificate");
    }

    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1) {
        fail("cannot make a serial number");
    }
    serial[0] &= 0x7F; // a positive number
    BIGNUM* serialNumber = BN_bin2bn(serial, sizeof serial, nullptr);
    const bool serialSet = serialNumber != nullptr && BN_to_ASN1_INTEGER(serialNumber, X509_get_serialNumber(cert));
    BN_free(serialNumber);
    if (!serialSet) {
        fail("cannot set the serial number");
    }

    // Valid from a day ago (clock skew) for thirty days: long enough for any demo session.
    X509_gmtime_adj(X509_getm_notBefore(cert), -24L * 3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 30L * 24 * 3600);

    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>("Awardsync mock service"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(hosts.front().c_str()),
                               -1, -1, 0);
    X509_set_issuer_name(cert, name);
    if (X509_set_pubkey(cert, result.key.get()) != 1) {
        fail("cannot set the public key");
    }

    std::string alternativeNames;
    for (const std::string& host : hosts) {
        if (!alternativeNames.empty()) {
            alternativeNames += ',';
        }
        alternativeNames += (isIpAddress(host) ? "IP:" : "DNS:") + host;
    }
    addExtension(cert, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(cert, NID_key_usage, "critical,digitalSignature,keyEncipherment");
    addExtension(cert, NID_ext_key_usage, "serverAuth");
    addExtension(cert, NID_subject_key_identifier, "hash");
    addExtension(cert, NID_subject_alt_name, alternativeNames);

    if (X509_sign(cert, result.key.get(), EVP_sha256()) == 0) {
        fail("cannot sign the certificate");
    }

    BIO* memory = BIO_new(BIO_s_mem());
    if (memory == nullptr || PEM_write_bio_X509(memory, cert) != 1) {
        BIO_free(memory);
        fail("cannot write the certificate");
    }
    char* data = nullptr;
    const long size = BIO_get_mem_data(memory, &data);
    result.pem.assign(data, static_cast<std::size_t>(size));
    BIO_free(memory);
    return result;
}

} // namespace mock
