#pragma once

#include <memory>
#include <openssl/x509.h>
#include <string>
#include <vector>

// The certificates of one authority bundle, as OpenSSL holds them.
namespace qxplat {

struct X509Deleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};

struct AuthoritySet {
    std::vector<std::unique_ptr<X509, X509Deleter>> certificates;
    std::wstring problem; // why the bundle gives no certificate; empty when it gives some
};

// The bundle at path, read at its first use and kept for the process. Never null.
std::shared_ptr<const AuthoritySet> LoadAuthorities(const std::wstring& path);

} // namespace qxplat
