#include "protocol/QXLFailureNote.h"

#include "base/QXFormat.h"
#include "config/QXUrlServer.h"

using qxplat::HttpFailureKind;

namespace {

struct StatusText {
    const wchar_t* what;
    const wchar_t* check;
};

StatusText ForStatus(long status) {
    // No status line at all: an answer of bytes that are not HTTP (a TLS port read as text).
    if (status < 100)
        return {CQXLFailureNote::What(HttpFailureKind::NotHttp),
                CQXLFailureNote::Check(HttpFailureKind::NotHttp)};
    if (status == 404)
        return {L"the server has no such service",
                L"check the URL's base path in qxurl.net (it ends with \"/\", as the server "
                L"prints it)"};
    if (status == 401 || status == 403)
        return {L"the server refused the request", L"check the user's name, password and rights"};
    if (status == 407)
        return {L"the proxy wants credentials", L"check the proxy's user name and password"};
    if (status >= 300 && status < 400)
        return {L"the server redirects elsewhere, which the launcher never follows",
                L"put the URL it redirects to (often https://) in qxurl.net"};
    if (status >= 500)
        return {L"the server failed", L"check the server's own log"};
    return {L"the server gave an unexpected status", L"check the URL in qxurl.net"};
}

} // namespace

void CQXLFailureNote::Transport(unsigned long code, const std::wstring& detail) {
    m_kind = Kind::Transport;
    m_code = code;
    m_detail = detail;
}

void CQXLFailureNote::Status(long status) {
    m_kind = Kind::Status;
    m_status = status;
}

void CQXLFailureNote::Refused(const std::wstring& why) {
    m_kind = Kind::Refused;
    m_detail = why;
}

const wchar_t* CQXLFailureNote::What(HttpFailureKind kind) {
    switch (kind) {
    case HttpFailureKind::NameNotFound:
        return L"the server's name was not found";
    case HttpFailureKind::ConnectionRefused:
        return L"the connection was refused or the host is unreachable";
    case HttpFailureKind::TimedOut:
        return L"the server did not answer in time";
    case HttpFailureKind::UnknownAuthority:
        return L"the server's certificate is not trusted: its authority is unknown here";
    case HttpFailureKind::CertificateName:
        return L"the server's certificate is not trusted: it names another host";
    case HttpFailureKind::CertificateDate:
        return L"the server's certificate is not trusted: it has expired or is not valid yet";
    case HttpFailureKind::CertificateRefused:
        return L"the server's certificate is not trusted";
    case HttpFailureKind::SecureChannel:
        return L"no secure (TLS) connection could be made";
    case HttpFailureKind::NotHttp:
        return L"the server's answer is not HTTP";
    case HttpFailureKind::ConnectionLost:
        return L"the connection broke during the exchange";
    case HttpFailureKind::Proxy:
        return L"the proxy was not found";
    case HttpFailureKind::Stopped:
        return L"the launcher stopped the request";
    case HttpFailureKind::Other:
        break;
    }
    return L"the network call failed";
}

const wchar_t* CQXLFailureNote::Check(HttpFailureKind kind) {
    switch (kind) {
    case HttpFailureKind::NameNotFound:
        return L"check the host name in qxurl.net and this machine's name service (DNS)";
    case HttpFailureKind::ConnectionRefused:
        return L"check the port in qxurl.net, that the server runs, and any firewall between";
    case HttpFailureKind::TimedOut:
        return L"check that the server runs and is not overloaded, and the network between";
    case HttpFailureKind::UnknownAuthority:
    case HttpFailureKind::CertificateRefused:
        return L"check the certificate's authority (the system's store or SecurityCAFile in "
               L"qxurl.net), its host name and its dates";
    case HttpFailureKind::CertificateName:
        return L"use in qxurl.net the host name the certificate was issued for";
    case HttpFailureKind::CertificateDate:
        return L"renew the server's certificate, and check this machine's clock";
    case HttpFailureKind::SecureChannel:
        return L"check that the port serves HTTPS: a plain HTTP server needs an http:// URL";
    case HttpFailureKind::NotHttp:
        return L"check the scheme in qxurl.net: an HTTPS server needs an https:// URL";
    case HttpFailureKind::ConnectionLost:
        return L"check the scheme in qxurl.net (an HTTPS server needs an https:// URL), the "
               L"server's log, and any proxy or firewall between";
    case HttpFailureKind::Proxy:
        return L"check the proxy settings (Internet settings, or https_proxy and http_proxy)";
    case HttpFailureKind::Stopped:
        return L"nothing: the launcher ended it on purpose";
    case HttpFailureKind::Other:
        break;
    }
    return L"check the URL in qxurl.net and the network";
}

std::wstring CQXLFailureNote::Line(const std::wstring& url) const {
    std::wstring what;
    std::wstring check;
    switch (m_kind) {
    case Kind::Transport: {
        const HttpFailureKind kind = qxplat::ClassifyHttpError(m_code);
        what = QXFormat(L"%s (error %u", What(kind), m_code);
        what += m_detail.empty() ? L")" : L": " + m_detail + L")";
        check = Check(kind);
        break;
    }
    case Kind::Status: {
        const StatusText text = ForStatus(m_status);
        what = QXFormat(L"%s (status %d)", text.what, m_status);
        check = text.check;
        break;
    }
    case Kind::Refused:
        what = L"the reply was refused: " + m_detail;
        check = L"check the site's signing key (UpdatePublicKey in qxurl.net) and the server's "
                L"files";
        break;
    case Kind::None:
        what = L"see the lines above";
        check = L"the lines above";
        break;
    }
    return QXFormat(L"Request failed : %s : %s : %s", url, what, check);
}

std::wstring CQXLFailureNote::Line(const CQXUrlServer& server, const std::wstring& object) const {
    return Line(QXFormat(L"http%s://%s:%i%s", server.IsSecure() ? L"s" : L"", server.GetHost(),
                         server.GetPort(), object));
}
