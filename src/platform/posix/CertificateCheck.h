#pragma once

#include <curl/curl.h>
#include <memory>
#include <string>

#include "platform/HttpTransport.h"
#include "platform/posix/AuthorityFile.h"

// The TLS check of secure requests on Linux, hooked into the OpenSSL context curl builds for
// each connection: certificates the user accepted pass for the rest of the process, and the
// server certificate that fails is kept for the question to the user.
namespace qxplat {

// One connection's check: what it is to verify and what it saw. Used on the sending thread.
struct CertificateCheck {
    std::string host;          // checked against the certificate's names unless empty
    bool refused = false;      // the server's certificate failed, and is described below
    HttpCertificate shown;     // the refused certificate
    std::string fingerprint;   // its SHA-256, raw bytes
    HttpCertificate presented; // the server's certificate, whatever the verdict
    // Trusted besides the system's authorities; none when null.
    std::shared_ptr<const AuthoritySet> authorities;
};

// curl's CURLOPT_SSL_CTX_FUNCTION; check is the connection's CertificateCheck, which must
// outlive the transfer. It takes over curl's host name check, so that an accepted certificate
// passes it too: set CURLOPT_SSL_VERIFYHOST to 0 with it.
CURLcode InstallCertificateCheck(CURL* easy, void* sslContext, void* check);

// Lets the certificate whose SHA-256 is fingerprint pass every check of this process.
void TrustCertificate(const std::string& fingerprint);

} // namespace qxplat
