#include "platform/posix/AuthorityFile.h"

#include <openssl/pem.h>

#include "platform/Authorities.h"
#include "platform/AuthorityCache.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace qxplat {

namespace {

std::shared_ptr<const AuthoritySet> Read(const std::wstring& path) {
    auto set = std::make_shared<AuthoritySet>();
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) {
        set->problem = L"cannot read " + path;
        return set;
    }
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(
        BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())), &BIO_free);
    // Anything between the certificates (comments, keys) is skipped, as OpenSSL's own readers do.
    while (bio) {
        X509* certificate = PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr);
        if (certificate == nullptr)
            break;
        set->certificates.emplace_back(certificate);
    }
    if (set->certificates.empty())
        set->problem = L"no PEM certificate (-----BEGIN CERTIFICATE-----) in " + path;
    return set;
}

} // namespace

std::shared_ptr<const AuthoritySet> LoadAuthorities(const std::wstring& path) {
    return CachedAuthorities(path, &Read);
}

bool ReadAuthorityFile(const std::wstring& path, std::size_t& count, std::wstring& problem) {
    return DescribeAuthorities(*LoadAuthorities(path), count, problem);
}

} // namespace qxplat
