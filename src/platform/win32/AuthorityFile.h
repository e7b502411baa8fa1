#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/HttpTransport.h"

// wincrypt.h needs the types of windows.h first.
// clang-format off
#include <windows.h>
#include <wincrypt.h>
#include <wininet.h>
// clang-format on

// The certificates of one authority bundle, and the check WinINet cannot make: WinINet trusts
// only the system's store, so a chain it refuses for an unknown authority is walked here, link
// by link, to a certificate of the bundle.
namespace qxplat {

struct CertificateDeleter {
    void operator()(PCCERT_CONTEXT certificate) const { CertFreeCertificateContext(certificate); }
};

struct AuthoritySet {
    std::vector<std::unique_ptr<const CERT_CONTEXT, CertificateDeleter>> certificates;
    std::wstring problem; // why the bundle gives no certificate; empty when it gives some
};

// The bundle at path, read at its first use and kept for the process. Never null.
std::shared_ptr<const AuthoritySet> LoadAuthorities(const std::wstring& path);

// True when the server of connection presents a certificate issued by a certificate of set,
// directly or through intermediate authorities the server sent: each signature checked, each
// certificate within its dates, each intermediate an authority. WinINet keeps no chain of a
// refused handshake, so an empty GET of "/" (no secret in it) fetches it, passing the unknown
// authority and revocation and whatever else securityFlags skip; the name is checked there.
bool ServerLeadsToAuthority(HINTERNET connection, DWORD securityFlags, const AuthoritySet& set);

// True when the certificate that request met in its own send (passed) leads to a certificate
// of set, checked as above: the send that the bundle let through may have reached the server
// over another connection than the fetch.
bool RequestLeadsToAuthority(HINTERNET request, const AuthoritySet& set);

// The server certificate of request after a send that passed, as the user reads it; false
// when WinINet tells none.
bool DescribeServerCertificate(HINTERNET request, HttpCertificate& certificate);

// WinINet lets later requests to a server pass the problems one request was let through, and
// the fetch above is such a request: a server ("host:port") whose certificate the bundle did
// not vouch for is marked refused, and every later request to it refused before it sends
// anything; one it vouched for is marked vouched, and every later request to it has the
// certificate it met checked again.
enum class ServerMark { Refused, Vouched };
void MarkServer(const std::wstring& server, ServerMark mark);
bool IsMarkedServer(const std::wstring& server, ServerMark mark);

} // namespace qxplat
