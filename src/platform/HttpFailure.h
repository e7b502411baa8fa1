#pragma once

// What a failed HTTP step's error code (an HttpError code, or a send's last error) means, in
// the terms a reader of the log needs. WinINet's codes on Windows, curl's on Linux.
namespace qxplat {

enum class HttpFailureKind {
    NameNotFound,       // the host name did not resolve
    ConnectionRefused,  // nothing accepted the connection (refused or unreachable)
    TimedOut,           // the server went silent or too slow
    UnknownAuthority,   // the certificate's issuer is trusted by nobody here
    CertificateName,    // the certificate names another host
    CertificateDate,    // the certificate has expired or is not valid yet
    CertificateRefused, // the certificate failed a check the system does not name
    SecureChannel,      // no TLS session could be made (often https to a plain port)
    NotHttp,            // the answer was not HTTP (often http to a TLS port)
    ConnectionLost,     // the connection broke during the exchange
    Proxy,              // the proxy could not be reached
    Stopped,            // the launcher itself ended the request
    Other,
};

HttpFailureKind ClassifyHttpError(unsigned long error);

} // namespace qxplat
