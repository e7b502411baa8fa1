#include "platform/win32/AuthorityFile.h"

#include <mutex>
#include <set>

#include "platform/Authorities.h"
#include "platform/AuthorityCache.h"
#include "platform/Crypto.h"
#include "platform/Files.h"

namespace qxplat {

namespace {

constexpr char kBegin[] = "-----BEGIN CERTIFICATE-----";
constexpr char kEnd[] = "-----END CERTIFICATE-----";
constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;
constexpr DWORD kProbeTimeoutMs = 30000;

// Adds the certificate of one PEM block (header and footer included) to set; false when it
// does not decode.
bool AddBlock(const std::string& block, AuthoritySet& set) {
    DWORD size = 0;
    if (!CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
        return false;
    std::vector<BYTE> der(size);
    if (!CryptStringToBinaryA(block.data(), static_cast<DWORD>(block.size()),
                              CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr))
        return false;
    PCCERT_CONTEXT certificate = CertCreateCertificateContext(kEncoding, der.data(), size);
    if (certificate == nullptr)
        return false;
    set.certificates.emplace_back(certificate);
    return true;
}

std::shared_ptr<const AuthoritySet> Read(const std::wstring& path) {
    auto set = std::make_shared<AuthoritySet>();
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        set->problem = L"cannot read " + path;
        return set;
    }
    // Anything between the blocks (comments, keys) is skipped, as OpenSSL's readers do.
    for (std::size_t begin = bytes.find(kBegin); begin != std::string::npos;
         begin = bytes.find(kBegin, begin + 1)) {
        const std::size_t end = bytes.find(kEnd, begin);
        if (end == std::string::npos)
            break;
        AddBlock(bytes.substr(begin, end + sizeof kEnd - 1 - begin), *set);
    }
    if (set->certificates.empty())
        set->problem = L"no PEM certificate (-----BEGIN CERTIFICATE-----) in " + path;
    return set;
}

bool WithinDates(PCCERT_CONTEXT certificate) {
    return CertVerifyTimeValidity(nullptr, certificate->pCertInfo) == 0;
}

bool IsAuthority(PCCERT_CONTEXT certificate) {
    const CERT_INFO* info = certificate->pCertInfo;
    const CERT_EXTENSION* extension =
        CertFindExtension(szOID_BASIC_CONSTRAINTS2, info->cExtension, info->rgExtension);
    if (extension == nullptr)
        return false;
    CERT_BASIC_CONSTRAINTS2_INFO* constraints = nullptr;
    DWORD size = 0;
    if (!CryptDecodeObjectEx(kEncoding, X509_BASIC_CONSTRAINTS2, extension->Value.pbData,
                             extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr,
                             &constraints, &size))
        return false;
    const bool authority = constraints->fCA != FALSE;
    LocalFree(constraints);
    return authority;
}

bool IssuedBy(PCCERT_CONTEXT subject, PCCERT_CONTEXT issuer) {
    return CertCompareCertificateName(kEncoding, &subject->pCertInfo->Issuer,
                                      &issuer->pCertInfo->Subject) &&
           WithinDates(issuer) &&
           CryptVerifyCertificateSignatureEx(0, kEncoding, CRYPT_VERIFY_CERT_SIGN_SUBJECT_CERT,
                                             const_cast<CERT_CONTEXT*>(subject),
                                             CRYPT_VERIFY_CERT_SIGN_ISSUER_CERT,
                                             const_cast<CERT_CONTEXT*>(issuer), 0, nullptr);
}

bool IssuedByOneOf(PCCERT_CONTEXT subject, const AuthoritySet& set) {
    for (const auto& authority : set.certificates)
        if (IssuedBy(subject, authority.get()))
            return true;
    return false;
}

} // namespace

std::shared_ptr<const AuthoritySet> LoadAuthorities(const std::wstring& path) {
    return CachedAuthorities(path, &Read);
}

bool ReadAuthorityFile(const std::wstring& path, std::size_t& count, std::wstring& problem) {
    return DescribeAuthorities(*LoadAuthorities(path), count, problem);
}

namespace {

// The walk from the server's certificate up to the bundle.
bool ChainLeadsToAuthority(const CERT_CHAIN_CONTEXT& context, const AuthoritySet& set) {
    if (context.cChain == 0)
        return false;
    const CERT_SIMPLE_CHAIN& chain = *context.rgpChain[0];
    for (DWORD i = 0; i < chain.cElement; ++i) {
        PCCERT_CONTEXT certificate = chain.rgpElement[i]->pCertContext;
        if (!WithinDates(certificate) || (i > 0 && !IsAuthority(certificate)))
            return false;
        if (IssuedByOneOf(certificate, set))
            return true;
        if (i + 1 == chain.cElement ||
            !IssuedBy(certificate, chain.rgpElement[i + 1]->pCertContext))
            return false;
    }
    return false;
}

std::mutex g_marksLock;
// Servers ("host:port") by what the bundle said of them, for the life of the process.
std::set<std::wstring>& MarkedServers(ServerMark mark) {
    static auto* refused = new std::set<std::wstring>;
    static auto* vouched = new std::set<std::wstring>;
    return mark == ServerMark::Refused ? *refused : *vouched;
}

using ChainPtr = std::unique_ptr<const CERT_CHAIN_CONTEXT, decltype(&CertFreeCertificateChain)>;

// The chain of the server certificate that request met, or null when WinINet tells none.
ChainPtr ServerChain(HINTERNET request) {
    PCCERT_CHAIN_CONTEXT context = nullptr;
    DWORD size = sizeof context;
    if (!InternetQueryOptionW(request, INTERNET_OPTION_SERVER_CERT_CHAIN_CONTEXT, &context, &size))
        context = nullptr;
    return ChainPtr(context, &CertFreeCertificateChain);
}

struct InternetCloser {
    void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};

} // namespace

bool ServerLeadsToAuthority(HINTERNET connection, DWORD securityFlags, const AuthoritySet& set) {
    if (set.certificates.empty())
        return false;
    std::unique_ptr<void, InternetCloser> probe(
        HttpOpenRequestW(connection, L"GET", L"/", nullptr, nullptr, nullptr,
                         INTERNET_FLAG_SECURE | INTERNET_FLAG_NO_AUTO_REDIRECT |
                             INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD,
                         0));
    if (!probe)
        return false;
    securityFlags = (securityFlags & SECURITY_IGNORE_ERROR_MASK) | SECURITY_FLAG_IGNORE_UNKNOWN_CA |
                    SECURITY_FLAG_IGNORE_REVOCATION;
    DWORD timeout = kProbeTimeoutMs;
    InternetSetOptionW(probe.get(), INTERNET_OPTION_SECURITY_FLAGS, &securityFlags,
                       sizeof securityFlags);
    InternetSetOptionW(probe.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionW(probe.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    return HttpSendRequestW(probe.get(), nullptr, 0, nullptr, 0) &&
           RequestLeadsToAuthority(probe.get(), set);
}

bool RequestLeadsToAuthority(HINTERNET request, const AuthoritySet& set) {
    const ChainPtr context = ServerChain(request);
    return context && ChainLeadsToAuthority(*context, set);
}

namespace {

std::wstring NameText(const CERT_NAME_BLOB& name) {
    wchar_t text[512] = {};
    CertNameToStrW(kEncoding, const_cast<CERT_NAME_BLOB*>(&name), CERT_X500_NAME_STR, text,
                   static_cast<DWORD>(sizeof text / sizeof text[0]));
    return text;
}

std::wstring TimeText(const FILETIME& time) {
    SYSTEMTIME parts{};
    if (!FileTimeToSystemTime(&time, &parts))
        return {};
    const auto two = [](unsigned value) {
        return std::wstring(1, static_cast<wchar_t>(L'0' + value / 10 % 10)) +
               static_cast<wchar_t>(L'0' + value % 10);
    };
    const std::wstring text = std::to_wstring(parts.wYear) + L"-" + two(parts.wMonth) + L"-" +
                              two(parts.wDay) + L" " + two(parts.wHour) + L":" +
                              two(parts.wMinute) + L":" + two(parts.wSecond) + L" UTC";
    return text;
}

std::wstring Fingerprint(PCCERT_CONTEXT certificate) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    Sha256 hash;
    Sha256Digest digest{};
    if (!hash.Update(certificate->pbCertEncoded, certificate->cbCertEncoded) ||
        !hash.Finish(digest))
        return {};
    std::wstring text;
    for (const unsigned char byte : digest) {
        if (!text.empty())
            text += L':';
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

} // namespace

bool DescribeServerCertificate(HINTERNET request, HttpCertificate& certificate) {
    const ChainPtr context = ServerChain(request);
    if (!context || context->cChain == 0 || context->rgpChain[0]->cElement == 0)
        return false;
    PCCERT_CONTEXT server = context->rgpChain[0]->rgpElement[0]->pCertContext;
    certificate.subject = NameText(server->pCertInfo->Subject);
    certificate.issuer = NameText(server->pCertInfo->Issuer);
    certificate.notBefore = TimeText(server->pCertInfo->NotBefore);
    certificate.notAfter = TimeText(server->pCertInfo->NotAfter);
    certificate.sha256 = Fingerprint(server);
    return !certificate.sha256.empty();
}

void MarkServer(const std::wstring& server, ServerMark mark) {
    std::lock_guard<std::mutex> hold(g_marksLock);
    MarkedServers(mark).insert(server);
}

bool IsMarkedServer(const std::wstring& server, ServerMark mark) {
    std::lock_guard<std::mutex> hold(g_marksLock);
    return MarkedServers(mark).count(server) != 0;
}

} // namespace qxplat
