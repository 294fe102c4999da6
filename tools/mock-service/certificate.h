// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <string>
#include <vector>

namespace mock {

struct X509Deleter {
    void operator()(X509* cert) const { X509_free(cert); }
};
struct PkeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};

// A certificate signed by its own key, made fresh at every start so that no key is ever stored.
struct SelfSignedCertificate {
    std::unique_ptr<X509, X509Deleter> certificate;
    std::unique_ptr<EVP_PKEY, PkeyDeleter> key;
    std::string pem; // the certificate alone, for the client's trust store
};

// `hosts` become the subject alternative names (IP addresses as IP entries, other names as DNS
// entries); the first one is also the common name. Throws std::runtime_error on failure.
SelfSignedCertificate makeSelfSignedCertificate(const std::vector<std::string>& hosts);

} // namespace mock
