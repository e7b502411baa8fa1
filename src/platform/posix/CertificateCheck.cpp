#include "platform/posix/CertificateCheck.h"

#include <arpa/inet.h>
#include <ctime>
#include <memory>
#include <mutex>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <set>

#include "platform/Text.h"

namespace qxplat {

namespace {

std::mutex g_trustedLock;
std::set<std::string>& Trusted() {
    static auto* trusted = new std::set<std::string>;
    return *trusted;
}

bool IsTrusted(const std::string& fingerprint) {
    std::lock_guard<std::mutex> hold(g_trustedLock);
    return Trusted().count(fingerprint) != 0;
}

// Where the context keeps its connection's CertificateCheck.
int CheckIndex() {
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

std::string Fingerprint(X509* certificate) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (certificate == nullptr || X509_digest(certificate, EVP_sha256(), digest, &size) != 1)
        return {};
    return std::string(reinterpret_cast<char*>(digest), size);
}

std::wstring Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::wstring text;
    for (const char byte : bytes) {
        const auto value = static_cast<unsigned char>(byte);
        if (!text.empty())
            text += L':';
        text += static_cast<wchar_t>(digits[value >> 4]);
        text += static_cast<wchar_t>(digits[value & 0xF]);
    }
    return text;
}

// A name as "CN=..., O=...", non-ASCII characters as themselves.
std::wstring NameText(const X509_NAME* name) {
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new(BIO_s_mem()), &BIO_free);
    if (!bio || X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) < 0)
        return {};
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return FromNarrow(std::string(data, static_cast<std::size_t>(size)));
}

std::wstring TimeText(const ASN1_TIME* time) {
    std::tm parts{};
    char text[32];
    if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1 ||
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts) == 0)
        return {};
    return FromNarrow(text);
}

HttpCertificate Shown(X509* certificate, const std::string& fingerprint) {
    HttpCertificate shown;
    shown.subject = NameText(X509_get_subject_name(certificate));
    shown.issuer = NameText(X509_get_issuer_name(certificate));
    shown.notBefore = TimeText(X509_get0_notBefore(certificate));
    shown.notAfter = TimeText(X509_get0_notAfter(certificate));
    shown.sha256 = Hex(fingerprint);
    return shown;
}

void Describe(X509* certificate, CertificateCheck& check) {
    check.refused = true;
    check.fingerprint = Fingerprint(certificate);
    check.shown = Shown(certificate, check.fingerprint);
}

CertificateCheck* CheckOf(X509_STORE_CTX* store) {
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    if (ssl == nullptr)
        return nullptr;
    return static_cast<CertificateCheck*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), CheckIndex()));
}

// Called for each problem OpenSSL finds in the chain; the server's own certificate decides.
int Verify(int passed, X509_STORE_CTX* store) {
    X509* server = X509_STORE_CTX_get0_cert(store);
    CertificateCheck* check = CheckOf(store);
    if (check != nullptr && server != nullptr && check->presented.sha256.empty())
        check->presented = Shown(server, Fingerprint(server));
    if (passed == 1)
        return 1;
    const std::string fingerprint = Fingerprint(server);
    if (!fingerprint.empty() && IsTrusted(fingerprint)) {
        // Cleared, or the handshake's verdict would still carry the problem.
        X509_STORE_CTX_set_error(store, X509_V_OK);
        return 1;
    }
    if (check != nullptr && !check->refused && server != nullptr)
        Describe(server, *check);
    return 0;
}

bool IsIpAddress(const std::string& host) {
    unsigned char address[16];
    return inet_pton(AF_INET, host.c_str(), address) == 1 ||
           inet_pton(AF_INET6, host.c_str(), address) == 1;
}

} // namespace

CURLcode InstallCertificateCheck(CURL*, void* sslContext, void* check) {
    auto* context = static_cast<SSL_CTX*>(sslContext);
    auto* connection = static_cast<CertificateCheck*>(check);
    if (SSL_CTX_set_ex_data(context, CheckIndex(), connection) != 1)
        return CURLE_SSL_CERTPROBLEM;
    X509_VERIFY_PARAM* param = SSL_CTX_get0_param(context);
    // As strict as curl's own check: "*" stands for a whole label only.
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    const std::string& host = connection->host;
    if (!host.empty() &&
        (IsIpAddress(host) ? X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str())
                           : X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size())) != 1)
        return CURLE_SSL_CERTPROBLEM;
    SSL_CTX_set_verify(context, SSL_CTX_get_verify_mode(context), &Verify);
    if (connection->authorities) {
        // Added to the store curl filled from the system's bundle: trusted besides it.
        X509_STORE* store = SSL_CTX_get_cert_store(context);
        for (const auto& authority : connection->authorities->certificates)
            X509_STORE_add_cert(store, authority.get());
        ERR_clear_error(); // a certificate already there is no failure of this request
    }
    return CURLE_OK;
}

void TrustCertificate(const std::string& fingerprint) {
    std::lock_guard<std::mutex> hold(g_trustedLock);
    Trusted().insert(fingerprint);
}

} // namespace qxplat
